#include "util/UserDefaults.h"

#include <QSignalSpy>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstring>
#include <thread>

#include "support/TempDir.h"
#include "util/AtomicFile.h"
#include "util/IsoDate.h"
#include "util/Json.h"

namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;

mode_t modeOf(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

TEST(AtomicFile, WritesReplacesAndSetsMode) {
    testsupport::TempDir dir;
    const fs::path file = dir / "a.json";
    ASSERT_EQ(atomicfile::write(file, "first", 0600), "");
    ASSERT_EQ(atomicfile::write(file, std::string("sec\0ond", 7), 0640), "");
    EXPECT_EQ(atomicfile::read(file), std::string("sec\0ond", 7));
    EXPECT_EQ(modeOf(file), 0640u);
    EXPECT_EQ(atomicfile::read(dir.path()), std::nullopt);
}

TEST(AtomicFile, FailuresLeaveOldContentAndNoTemporaries) {
    testsupport::TempDir dir;
    const fs::path file = dir / "keep.txt";
    ASSERT_EQ(atomicfile::write(file, "old"), "");
    fs::create_directory(dir / "sub");

    // Tests run as root, so permissions would not stop a write: use a file as the folder, a
    // folder in the way of the rename, and a file size limit that fails the write half way.
    EXPECT_THAT(atomicfile::write(file / "x", "new"), HasSubstr(std::strerror(ENOTDIR)));
    EXPECT_THAT(atomicfile::write(dir / "sub", "new"), HasSubstr(std::strerror(EISDIR)));
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string tooBig = atomicfile::write(file, "much more than four bytes");
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_THAT(tooBig, HasSubstr(std::strerror(EFBIG)));

    EXPECT_EQ(atomicfile::read(file), "old");
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename());
    EXPECT_THAT(names, testing::UnorderedElementsAre("keep.txt", "sub"));
}

TEST(UserDefaults, TypesSurviveARestart) {
    testsupport::TempDir dir;
    const fs::path file = dir / "conf/TAVRO/defaults.json";
    std::string allBytes;
    for (int i = 0; i < 256; ++i) allBytes += static_cast<char>(i);
    const DefaultsDictionary nested{
        {"list", DefaultsArray{1, 2.5, "x", DefaultsData{"\x01"}, DefaultsArray{}}},
        {"$data", "a user key that looks like a tag"},
        {"inner", DefaultsDictionary{{"deep", true}}}};
    const std::pair<const char*, DefaultsValue> stored[] = {
        {"flag", false},
        {"text", "false"},
        {"blob", DefaultsData{"false"}},
        {"bytes", DefaultsData{allBytes}},
        {"ratio", 2.0},
        {"min", INT64_MIN},
        {"name", std::string("\u4F1A\0x", 5)},
        {"nested", nested},
        {"$dict", DefaultsArray{DefaultsDictionary{}}}};
    {
        UserDefaults d(file);
        for (const auto& [key, v] : stored) ASSERT_TRUE(d.set(key, v)) << d.lastWriteError();
    }
    EXPECT_EQ(modeOf(file), 0600u);
    EXPECT_EQ(modeOf(file.parent_path()), 0700u);
    UserDefaults d(file);
    EXPECT_EQ(d.loadError(), "");
    for (const auto& [key, v] : stored) EXPECT_EQ(d.value(key), v) << key;
    EXPECT_FALSE(d.contains("absent"));
    EXPECT_EQ(d.boolValue("text"), std::nullopt);
    EXPECT_EQ(d.intValue("ratio"), std::nullopt);

    // Plain JSON with tagged objects for anyone reading the file.
    const json::Value doc = json::parse(*atomicfile::read(file));
    EXPECT_EQ(json::dumpCompact(doc.at("ratio")), "2.0");
    EXPECT_EQ(json::requireString(doc.at("blob"), "$data"), "ZmFsc2U=");
    ASSERT_TRUE(d.remove("flag"));
    EXPECT_FALSE(UserDefaults(file).contains("flag"));
}

TEST(UserDefaults, DamagedFileIsMovedAsideAndReported) {
    // Arrays 20,000 deep once crashed every start before the file could be moved aside.
    const std::string deep = R"({"k": )" + std::string(20000, '[') + std::string(20000, ']') + "}";
    const std::string damaged[] = {"",
                                   "{not json",
                                   "[1, 2]",
                                   R"({"k": null})",
                                   R"({"k": {"$what": 1}})",
                                   R"({"k": {"$data": "***"}})",
                                   R"({"k": 9223372036854775808})",
                                   deep};
    for (const std::string& content : damaged) {
        SCOPED_TRACE(content.substr(0, 40));
        testsupport::TempDir dir;
        const fs::path file = dir / "defaults.json";
        ASSERT_EQ(atomicfile::write(file, content), "");
        UserDefaults d(file);
        EXPECT_FALSE(d.contains("k"));
        const fs::path moved = fs::directory_iterator(dir.path())->path();
        EXPECT_THAT(d.loadError(), HasSubstr(moved.string()));
        EXPECT_EQ(atomicfile::read(moved), content);
        EXPECT_TRUE(d.set("k", true));
        EXPECT_EQ(UserDefaults(file).boolValue("k"), true);
    }
    // A name already taken gets a number; the stamp may move on a second meanwhile.
    testsupport::TempDir dir;
    const fs::path file = dir / "defaults.json";
    const auto now = std::chrono::system_clock::now();
    for (int s = 0; s < 3; ++s) {
        const auto stamp = localzone::format(now + std::chrono::seconds(s), "%Y%m%d-%H%M%S");
        ASSERT_EQ(atomicfile::write(file.string() + ".damaged-" + stamp, "earlier"), "");
    }
    ASSERT_EQ(atomicfile::write(file, "garbage"), "");
    EXPECT_THAT(UserDefaults(file).loadError(),
                testing::MatchesRegex(".*\\.damaged-[0-9]{8}-[0-9]{6}-2.*"));
}

TEST(UserDefaults, RefusedAndFailedWrites) {
    testsupport::TempDir dir;
    UserDefaults d(dir / "defaults.json");
    EXPECT_FALSE(d.set("inf", DefaultsArray{HUGE_VAL}));
    EXPECT_FALSE(d.set("bad", "\xff"));
    EXPECT_FALSE(d.contains("inf") || d.contains("bad"));

    // A regular file where the folder should be: kept in memory, reported.
    ASSERT_EQ(atomicfile::write(dir / "plain", "x"), "");
    UserDefaults blocked(dir / "plain" / "defaults.json");
    EXPECT_FALSE(blocked.set("k", 1));
    EXPECT_EQ(blocked.intValue("k"), 1);
    EXPECT_THAT(blocked.lastWriteError(), HasSubstr((dir / "plain").string()));
}

TEST(UserDefaults, StandardPathAndChangedSignal) {
    testsupport::ScopedHome home;
    setenv("XDG_CONFIG_HOME", (home.home() / "cfg").c_str(), 1);
    EXPECT_EQ(UserDefaults::standardPath(), home.home() / "cfg/TAVRO/defaults.json");

    UserDefaults d(UserDefaults::standardPath());
    QSignalSpy spy(&d, &UserDefaults::changed);
    d.set("a", 1);
    d.remove("a");
    d.remove("a");  // nothing to remove, nothing changed
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toString(), "a");
}

TEST(UserDefaults, ReadersSeeWholeValuesWhileAWriterRuns) {
    testsupport::TempDir dir;
    UserDefaults d(dir / "defaults.json");
    d.set("counter", 0);
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 4; ++r) {
        readers.emplace_back([&] {
            for (std::int64_t last = 0; !done;) {
                const auto v = d.intValue("counter");
                const auto pair = d.arrayValue("pair");
                if (!v || *v < last || (pair && (*pair)[0] != (*pair)[1])) ++bad;
                last = v.value_or(last);
            }
        });
    }
    for (int i = 1; i <= 100; ++i) {
        d.set("counter", i);
        d.set("pair", DefaultsArray{i, i});
    }
    done = true;
    for (auto& t : readers) t.join();
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(UserDefaults(dir / "defaults.json").intValue("counter"), 100);
}

}  // namespace

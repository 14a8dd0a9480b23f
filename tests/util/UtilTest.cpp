// The helpers everything else builds on: text, JSON, dates, ids, atomic files and the settings
// file.
#include <QSignalSpy>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstring>
#include <set>
#include <thread>

#include "support/TempDir.h"
#include "util/AtomicFile.h"
#include "util/IsoDate.h"
#include "util/Json.h"
#include "util/Text.h"
#include "util/UserDefaults.h"
#include "util/Uuid.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using testing::HasSubstr;

Timestamp at(std::int64_t secs, int ms = 0) {
    return Timestamp{seconds{secs}} + milliseconds{ms};
}

TEST(IsoDate, ParseIsStrict) {
    const std::pair<const char*, std::int64_t> good[] = {
        {"2024-02-29T12:34:56Z", 1709210096},
        {"2024-02-29T12:34:56+09:00", 1709210096 - 9 * 3600},
        {"2024-02-29T12:34:56-05:30", 1709210096 + 5 * 3600 + 1800},
        {"1700-01-01T00:00:00Z", -8520336000}};
    for (const auto& [text, secs] : good) EXPECT_EQ(iso8601::parse(text), at(secs)) << text;

    const char* bad[] = {"2024-02-29T12:34:56", "2024-02-29T12:34:56.5Z", "2024-02-29t12:34:56Z",
                         "2024-02-29 12:34:56Z", "2024-02-30T00:00:00Z", "2023-02-29T00:00:00Z",
                         "1900-02-29T00:00:00Z", "2024-01-01T24:00:00Z", "2024-12-31T23:59:60Z",
                         "2024-01-01T00:00:00+24:00", "2024-01-01T00:00:00+0900",
                         "2024-01-01T00:00:00Z ", "2024-1-01T00:00:00Z",
                         // beyond what the nanosecond clock holds
                         "0001-01-01T00:00:00Z", "9999-12-31T23:59:59Z"};
    for (const char* text : bad) EXPECT_EQ(iso8601::parse(text), std::nullopt) << text;
}

// Whole seconds, floored also before 1970.
TEST(IsoDate, FormatIsUtcWholeSecondsFloored) {
    const std::pair<Timestamp, const char*> cases[] = {
        {at(1709210096, 999), "2024-02-29T12:34:56Z"},
        {at(0, -1), "1969-12-31T23:59:59Z"},
        {at(-86400, -500), "1969-12-30T23:59:59Z"}};
    for (const auto& [t, text] : cases) EXPECT_EQ(iso8601::format(t), text);
}

TEST(IsoDate, LocalStampsFollowTz) {
    const Timestamp t = *iso8601::parse("2024-01-31T20:00:00Z");
    {
        testsupport::ScopedTimeZone tz("JST-9");
        EXPECT_EQ(localzone::format(t, "%Y-%m-%d_%H%M"), "2024-02-01_0500");
        EXPECT_EQ(localzone::yearMonth(t), (localzone::YearMonth{2024, 2}));
    }
    testsupport::ScopedTimeZone tz("UTC0");
    EXPECT_EQ(localzone::yearMonth(t), (localzone::YearMonth{2024, 1}));
    EXPECT_EQ(localzone::format(at(0, -1), "%H%M%S"), "235959");
    EXPECT_EQ(localzone::format(t, std::string(300, 'x').c_str()), std::string(300, 'x'));
}

const json::Value kDoc = json::parse(R"({"name": "x", "flag": true, "count": -3,
    "big": 9223372036854775807, "huge": 18446744073709551615, "ratio": 1.0, "nothing": null,
    "obj": {}, "list": [1, 2], "mixed": ["a", 1]})");

// A json::Error naming `text`.
auto failsNaming(const std::string& text) {
    return testing::ThrowsMessage<json::Error>(HasSubstr(text));
}

TEST(Json, ParseAndDumpThrowOurError) {
    EXPECT_THROW(json::parse("\"\xff\""), json::Error);
    EXPECT_FALSE(json::tryParse("[1,]"));
    EXPECT_THROW(json::dumpCompact(json::Value(std::string("a\xff"))), json::Error);
    EXPECT_EQ(json::dumpCompact(json::parse(R"({"b": [1, 2.0], "a": "é"})")),
              R"({"a":"é","b":[1,2.0]})");
}

// Only integer-typed numbers that fit int64 are integers; errors name the member.
TEST(Json, StrictAccessors) {
    const std::pair<const char*, std::optional<std::int64_t>> ints[] = {
        {"count", -3}, {"big", INT64_MAX}, {"huge", {}}, {"ratio", {}}, {"name", {}}, {"flag", {}}};
    for (const auto& [key, value] : ints) {
        if (value)
            EXPECT_EQ(json::optionalInt(kDoc, key), value) << key;
        else
            EXPECT_THAT([&] { json::optionalInt(kDoc, key); }, failsNaming(key));
    }
    EXPECT_EQ(json::optionalInt(kDoc, "nothing"), std::nullopt);
    EXPECT_THAT([] { json::requireInt(kDoc, "nothing"); }, failsNaming("nothing"));
    EXPECT_FALSE(json::isInteger(json::parse("9223372036854775808")));
    EXPECT_FALSE(json::has(kDoc, "nothing"));
    EXPECT_THROW(json::optionalObject(kDoc, "list"), json::Error);
    EXPECT_THAT([] { json::requireStringArray(kDoc, "mixed"); }, failsNaming("mixed[1]"));
    EXPECT_THROW(json::has(json::parse("[1]"), "name"), json::Error);
}

const std::string kFamily = "\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466";
const std::string kFlags = "\U0001F1EF\U0001F1F5\U0001F1FA\U0001F1F8";  // JP, US

TEST(Text, Graphemes) {
    // Each bad byte counts as one U+FFFD.
    const std::pair<std::string, std::size_t> counts[] = {
        {"e\u0301", 1}, {kFamily, 1}, {kFlags, 2}, {"\U0001F44D\U0001F3FD", 1}, {"a\xff\xfe", 3}};
    for (const auto& [s, n] : counts) EXPECT_EQ(text::graphemeCount(s), n) << s;
    EXPECT_EQ(text::graphemePrefix(kFlags, 1), "\U0001F1EF\U0001F1F5");
}

TEST(Text, Utf8PrefixNeverSplitsAClusterAtAnyCut) {
    const std::string s = "a\u00E9" + kFamily + kFlags + "e\u0301\u304C\r\nz\u3000";
    const std::size_t total = text::graphemeCount(s);
    for (std::size_t cut = 0; cut <= s.size() + 1; ++cut) {
        SCOPED_TRACE(cut);
        const std::string p = text::utf8Prefix(s, cut);
        ASSERT_LE(p.size(), cut);
        // It ends on a cluster boundary of the whole string, and the next one lies past the cut.
        const std::size_t n = text::graphemeCount(p);
        EXPECT_EQ(text::graphemePrefix(s, n), p);
        EXPECT_TRUE(n == total || text::graphemePrefix(s, n + 1).size() > cut);
    }
}

TEST(Text, InvalidInputGivesValidOutput) {
    const std::string bad = "a\xffz\xe3\x81";
    for (const std::string& out : {text::utf8Prefix(bad, 4), text::graphemePrefix(bad, 2),
                                   text::fold(bad), text::trim(bad), text::lower(bad)})
        EXPECT_TRUE(text::isValidUtf8(out)) << out;
    const std::pair<std::string, bool> validity[] = {{std::string("a\0b", 3), true},
                                                     {"\xc0\xaf", false},
                                                     {"\xed\xa0\x80", false},
                                                     {"\xf4\x90\x80\x80", false}};
    for (const auto& [s, ok] : validity) EXPECT_EQ(text::isValidUtf8(s), ok) << s;
}

// Case and Latin accents fold away; the voicing marks of kana and full-width forms do not.
TEST(Text, Folding) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"Caf\u00E9", "CAFE", true},      {"\u00C9COLE", "e\u0301cole", true},
        {"Stra\u00DFe", "STRASSE", true}, {"\u304C", "\u304B", false},
        {"\u30AC", "\u30AB", false},      {"\u304B\u3099", "\u304C", true},
        {"\uFF21", "a", false},           {"\uFF21", "\uFF41", true}};
    for (const auto& [a, b, equal] : cases)
        EXPECT_EQ(text::equalsFolded(a, b), equal) << a << " / " << b;
}

TEST(Text, TrimAndLower) {
    const std::pair<const char*, const char*> trims[] = {
        {"\u3000 a b \r\n\t", "a b"},
        {"\u00A0x\u2028\u0085", "x"},
        {"\u200Bx", "\u200Bx"},  // zero-width space is not white space
        {"\u65E5\u3000\u672C", "\u65E5\u3000\u672C"}};
    for (const auto& [in, out] : trims) EXPECT_EQ(text::trim(in), out) << in;
    EXPECT_EQ(text::lower("\u00C0\u00C9 Ab I"), "\u00E0\u00E9 ab i");  // root, not Turkish
}

TEST(Uuid, RandomVersion4UpperCase) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const std::string u = uuid::make();
        ASSERT_TRUE(uuid::isCanonical(u) && u[14] == '4' &&
                    std::string("89AB").find(u[19]) != std::string::npos &&
                    u.find_first_of("abcdef") == std::string::npos)
            << u;
        seen.insert(u);
    }
    EXPECT_EQ(seen.size(), 1000u);
    EXPECT_TRUE(uuid::isCanonical("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"));
    for (const char* bad :
         {"E621E1F8C36C495A93FC0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5G", ""})
        EXPECT_FALSE(uuid::isCanonical(bad)) << bad;
}

mode_t modeOf(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

TEST(AtomicFile, ReplacesWithModeAndFailuresLeaveTheOldContentAndNoTemporaries) {
    testsupport::TempDir dir;
    const fs::path file = dir / "keep.txt";
    const std::string kept("sec\0ond", 7);
    ASSERT_EQ(atomicfile::write(file, "first", 0600), "");
    ASSERT_EQ(atomicfile::write(file, kept, 0640), "");
    EXPECT_EQ(atomicfile::read(file), kept);
    EXPECT_EQ(modeOf(file), 0640u);
    EXPECT_EQ(atomicfile::read(dir.path()), std::nullopt);
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

    EXPECT_EQ(atomicfile::read(file), kept);
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

#include <QSignalSpy>

#include <stdexcept>

#include <gtest/gtest.h>

#include "library/LibraryStore.h"
#include "library/MinutesStore.h"
#include "library/TestFileSystem.h"
#include "support/TempDir.h"
#include "util/AtomicFile.h"

namespace fs = std::filesystem;
using testsupport::ScopedTimeZone;
using testsupport::TempDir;

namespace {

const auto writeFile = &TestFileSystem::put;

std::string readFile(const fs::path& p) {
    return atomicfile::read(p).value_or("<missing>");
}

class LibraryStoreTest : public ::testing::Test {
protected:
    ScopedTimeZone tz{"Asia/Tokyo"};
    TempDir dir;
    UserDefaults defaults{dir / "defaults.json"};
    TestFileSystem files;
    fs::path base = dir / "data";
    fs::path file = base / "library-state.json";
    Timestamp clock = *iso8601::parse("2025-03-07T05:05:09Z");  // 14:05:09 in Tokyo

    std::unique_ptr<LibraryStore> open() {
        return std::make_unique<LibraryStore>(base, defaults, files, [this] { return clock; });
    }
    fs::path backup(const std::string& suffix = "") const {
        return base / ("library-state.corrupt-20250307-140509" + suffix + ".json");
    }
    LibraryState onDisk() const { return LibraryState::fromJson(json::parse(readFile(file))); }
};

}  // namespace

TEST_F(LibraryStoreTest, FreshDirectoryIsWrittenOnlyOnTheFirstChange) {
    auto store = open();
    EXPECT_FALSE(fs::exists(base));
    store->createFolder("Work");
    EXPECT_EQ(open()->state(), store->state());
}

TEST_F(LibraryStoreTest, DamagedFilesAreSetAsideWithAMessage) {
    const std::string prefix = "ライブラリ設定を復旧しました: ";
    const std::pair<const char*, std::string> cases[] = {
        {R"({"version":2})",
         prefix + "このライブラリデータのバージョン（2）には対応していません。"},
        {"", ""},
        {R"({"folders":[{"id":"F"}]})", ""},
    };
    for (const auto& [content, message] : cases) {
        fs::remove_all(base);
        writeFile(file, content);
        auto store = open();
        ASSERT_TRUE(store->lastError());
        if (message.empty()) {
            EXPECT_TRUE(store->lastError()->starts_with(prefix)) << *store->lastError();
            EXPECT_GT(store->lastError()->size(), prefix.size());
        } else {
            EXPECT_EQ(*store->lastError(), message);
        }
        EXPECT_FALSE(fs::exists(file));  // moved, not copied
        EXPECT_EQ(readFile(backup()), content);

        QSignalSpy errors(store.get(), &LibraryStore::lastErrorChanged);
        store->setFavorite(true, {"R"});
        EXPECT_EQ(store->lastError(), std::nullopt);
        EXPECT_EQ(errors.count(), 1);
    }
}

TEST_F(LibraryStoreTest, SecondRecoveryInTheSameSecondKeepsBothBadFiles) {
    writeFile(backup(), "first");
    writeFile(backup("-2"), "second");
    writeFile(file, "third");
    open();
    EXPECT_EQ(readFile(backup("-2")), "second");
    EXPECT_EQ(readFile(backup("-3")), "third");
}

TEST_F(LibraryStoreTest, ABadFileThatCannotBeMovedIsNeverOverwritten) {
    files.failMoves = true;
    writeFile(file, "not json");
    auto store = open();
    EXPECT_TRUE(store->lastError()->starts_with("ライブラリ設定を復旧しました: "));
    EXPECT_THROW(store->setFavorite(true, {"R"}), std::runtime_error);
    EXPECT_EQ(readFile(file), "not json");

    files.failMoves = false;
    store->setFavorite(true, {"R"});
    EXPECT_EQ(readFile(backup()), "not json");
    EXPECT_TRUE(onDisk().records.at("R").isFavorite);
}

TEST_F(LibraryStoreTest, OlderVersionsLoadUnchangedUntilTheNextCommit) {
    writeFile(file, R"({"version":0,"records":{"R":{"isFavorite":true}}})");
    auto store = open();
    EXPECT_EQ(store->lastError(), std::nullopt);
    EXPECT_TRUE(store->metadata("R").isFavorite);
    store->markSelected({"R"});
    EXPECT_EQ(onDisk().version, 1);
}

TEST_F(LibraryStoreTest, FailedSaveKeepsStateAndReportsUntilAGoodCommit) {
    auto store = open();
    store->createFolder("Work");
    const LibraryState before = store->state();
    files.failWrites = true;
    EXPECT_THROW(store->createFolder("Home"), std::runtime_error);
    EXPECT_EQ(store->state(), before);
    EXPECT_NE(store->lastError().value_or("").find("disk full"), std::string::npos);

    // A refused change neither writes nor clears the earlier failure.
    EXPECT_THROW(store->createFolder(" work "), LibraryStoreError);
    EXPECT_NE(store->lastError().value_or("").find("disk full"), std::string::npos);

    files.failWrites = false;
    store->createFolder("Home");
    EXPECT_EQ(store->lastError(), std::nullopt);
}

TEST_F(LibraryStoreTest, LegacyColoursMoveInOnce) {
    writeFile(file, R"({"records":{"A":{"color":"green"},"C":{"color":""}}})");
    defaults.set("recordColors", DefaultsDictionary{{"A", "red"}, {"B", "blue"}, {"C", "pink"}});
    auto store = open();
    EXPECT_EQ(files.writes, 1);
    // The library's own colours, even empty ones, win over the legacy map.
    EXPECT_EQ(onDisk().records.at("A").color, "green");
    EXPECT_EQ(store->metadata("C").color, "");
    EXPECT_EQ(store->metadata("B").color, "blue");

    defaults.set("recordColors", DefaultsDictionary{{"D", "red"}});
    EXPECT_EQ(open()->metadata("D"), LibraryRecordMetadata());
    EXPECT_EQ(files.writes, 1);
}

TEST_F(LibraryStoreTest, LegacyColoursThatCannotMoveAreTriedAgainLater) {
    const std::optional<DefaultsValue> stored[] = {
        std::nullopt,
        DefaultsDictionary{},
        DefaultsDictionary{{"A", "red"}, {"B", std::int64_t{3}}},
        DefaultsValue("red"),
    };
    for (const auto& value : stored) {
        defaults.remove("recordColors");
        if (value) defaults.set("recordColors", *value);
        EXPECT_TRUE(open()->state().records.empty());
        EXPECT_EQ(files.writes, 0);
    }

    defaults.set("recordColors", DefaultsDictionary{{"A", "red"}});
    files.failWrites = true;
    EXPECT_TRUE(open()->lastError().value_or("").starts_with("色設定の移行に失敗しました: "));
    files.failWrites = false;
    EXPECT_EQ(open()->metadata("A").color, "red");
}

TEST_F(LibraryStoreTest, ColoursSetThroughTheRecordStoreAreMigrated) {
    MinutesStore records(defaults, base, dir / "legacy");
    MinutesRecord r;
    r.id = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";
    records.setColor("purple", r);
    EXPECT_EQ(open()->metadata(r.id).color, "purple");
}

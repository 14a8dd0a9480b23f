#include <QSignalSpy>

#include <functional>
#include <limits>
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
using Kind = LibraryStoreError::Kind;

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

// Operations on a store opened over an empty folder.
class LibraryOperationsTest : public LibraryStoreTest {
protected:
    std::unique_ptr<LibraryStore> opened = open();
    LibraryStore& store = *opened;

    static std::string messageOf(const std::function<void()>& op) {
        try {
            op();
        } catch (const std::exception& e) {
            return e.what();
        }
        return "";
    }
    static std::optional<Kind> errorOf(const std::function<void()>& op) {
        try {
            op();
        } catch (const LibraryStoreError& e) {
            return e.kind();
        }
        return std::nullopt;
    }
    void loadFolders(std::initializer_list<std::int64_t> sortOrders) {
        LibraryState state;
        for (std::int64_t order : sortOrders)
            state.folders.push_back(
                {"F" + std::to_string(order), "n" + std::to_string(order), clock, order});
        writeFile(file, state.toFileText());
        store.reload();
    }
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

TEST_F(LibraryOperationsTest, NamesAreTrimmedAndComparedWithoutCaseOrAccents) {
    EXPECT_EQ(store.createFolder("  Work \n").name, "Work");
    store.createFolder("Café");

    const std::pair<const char*, const char*> cases[] = {
        {"work", "「work」はすでに存在します。"},
        {"\u3000WORK\t", "「WORK」はすでに存在します。"},
        {"Cafe", "「Cafe」はすでに存在します。"},
        {"   \n", "対象が見つかりません。"},
        {"Wo rk", ""},
    };
    for (const auto& [name, error] : cases) {
        const int writes = files.writes;
        EXPECT_EQ(messageOf([&] { store.createFolder(name); }), error) << name;
        EXPECT_EQ(files.writes, writes + (*error ? 0 : 1)) << name;
    }
    // Tags are a namespace of their own.
    EXPECT_EQ(store.createTag(" Work ", "red").name, "Work");
    EXPECT_EQ(errorOf([&] { store.createTag("WORK"); }), Kind::duplicateName);
}

TEST_F(LibraryOperationsTest, SortOrderFollowsTheLargestAndNeverOverflows) {
    EXPECT_EQ(store.createFolder("a").sortOrder, 0);
    loadFolders({0, 5, 2});
    EXPECT_EQ(store.createFolder("d").sortOrder, 6);

    loadFolders({std::numeric_limits<std::int64_t>::max()});
    const int writes = files.writes;
    EXPECT_THROW(store.createFolder("b"), std::overflow_error);
    EXPECT_EQ(files.writes, writes);
}

TEST_F(LibraryOperationsTest, RenamingChecksNameThenIdThenOthers) {
    const auto work = store.createFolder("Work");
    const auto home = store.createFolder("Home");
    store.renameFolder(work.id, "WORK");
    EXPECT_EQ(store.state().folders[0], (LibraryFolder{work.id, "WORK", clock, 0}));
    EXPECT_EQ(errorOf([&] { store.renameFolder(work.id, "home"); }), Kind::duplicateName);
    EXPECT_EQ(errorOf([&] { store.renameFolder("nothing", "home"); }), Kind::itemNotFound);
    EXPECT_EQ(errorOf([&] { store.renameFolder(work.id, "  "); }), Kind::itemNotFound);

    const auto tag = store.createTag("urgent", "red");
    store.createTag("later");
    store.updateTag(tag.id, " Urgent ", std::nullopt);
    EXPECT_EQ(store.state().tags[0], (LibraryTag{tag.id, "Urgent", std::nullopt, clock}));
    EXPECT_EQ(errorOf([&] { store.updateTag(tag.id, "LATER", "x"); }), Kind::duplicateName);
    EXPECT_EQ(errorOf([&] { store.updateTag(home.id, "x", "x"); }), Kind::itemNotFound);
}

TEST_F(LibraryOperationsTest, DeletingRemovesIdsButKeepsEntries) {
    const auto a = store.createFolder("A");
    const auto b = store.createFolder("B");
    const auto t = store.createTag("T");
    store.setFolders({a.id}, {"R1"});
    store.setFolders({a.id, b.id, "no such folder"}, {"R2"});
    store.addTag(t.id, {"R1", "R2"});
    store.deleteFolder(a.id);
    store.deleteTag(t.id);
    EXPECT_EQ(store.state().folders, std::vector<LibraryFolder>{b});
    EXPECT_EQ(store.state().records.at("R1"), LibraryRecordMetadata());
    EXPECT_EQ(store.state().records.at("R2").folderIDs, std::set<std::string>{b.id});
}

TEST_F(LibraryOperationsTest, BatchesWriteOnceAndEmptyBatchesNotAtAll) {
    const auto t = store.createTag("T");
    const std::function<void(const std::set<std::string>&)> ops[] = {
        [&](const auto& ids) { store.setFavorite(true, ids); },
        [&](const auto& ids) { store.setArchived(true, ids); },
        [&](const auto& ids) { store.setColor("red", ids); },
        [&](const auto& ids) { store.setFolders({}, ids); },
        [&](const auto& ids) {
            store.setTags({t.id, "gone"}, ids);
        },
        [&](const auto& ids) { store.markSelected(ids); },
        [&](const auto& ids) { store.addTag(t.id, ids); },
        [&](const auto& ids) { store.removeMetadata(ids); },
    };
    for (const auto& op : ops) {
        int writes = files.writes;
        op({});
        EXPECT_EQ(files.writes, writes);
        op({"R1", "R2", "R3"});
        EXPECT_EQ(files.writes, writes + 1);
    }
    EXPECT_EQ(errorOf([&] { store.addTag("nothing", {}); }), Kind::itemNotFound);
    store.setTags({t.id, "gone"}, {"R"});
    EXPECT_EQ(store.metadata("R").tagIDs, std::set<std::string>{t.id});
    store.setFavorite(false, {"S"});
    EXPECT_EQ(store.state().records.at("S"), LibraryRecordMetadata());
}

TEST_F(LibraryOperationsTest, ArchivingKeepsTheFirstStamp) {
    const Timestamp yesterday = clock;
    store.setArchived(true, {"R"});
    clock += std::chrono::hours(24);
    store.setArchived(true, {"R"});
    EXPECT_EQ(store.metadata("R").archivedAt, yesterday);
    store.setArchived(false, {"R"});
    store.setArchived(true, {"R"});
    EXPECT_EQ(store.metadata("R").archivedAt, clock);
}

TEST_F(LibraryOperationsTest, OverridesAndReferencesAlwaysCommit) {
    const int writes = files.writes;
    store.setTaskOverride(std::nullopt, "task-1", "R");
    EXPECT_EQ(files.writes, writes + 1);
    EXPECT_EQ(store.state().records.at("R"), LibraryRecordMetadata());

    const LibraryTaskOverride done{std::nullopt, "Aoi", std::nullopt, "high", true};
    store.setTaskOverride(done, "task-1", "R");
    store.setTaskOverride(LibraryTaskOverride(), "0", "R");
    store.setTaskOverride(std::nullopt, "0", "R");
    EXPECT_EQ(store.metadata("R").taskOverrides,
              (std::map<std::string, LibraryTaskOverride>{{"task-1", done}}));

    store.setRemoteReference(LibraryRemoteReference{"tavro", "abc", 1, clock}, "s", "R");
    store.setRemoteReference(std::nullopt, "s", "R");
    EXPECT_TRUE(store.metadata("R").remoteReferences.empty());
}

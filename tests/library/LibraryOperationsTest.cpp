#include <functional>
#include <limits>
#include <stdexcept>

#include <gtest/gtest.h>

#include "library/LibraryStore.h"
#include "library/TestFileSystem.h"
#include "support/TempDir.h"

using testsupport::TempDir;
using Kind = LibraryStoreError::Kind;

namespace {

class LibraryOperationsTest : public ::testing::Test {
protected:
    TempDir dir;
    UserDefaults defaults{dir / "defaults.json"};
    TestFileSystem files;
    Timestamp clock = *iso8601::parse("2025-03-07T05:05:09Z");
    LibraryStore store{dir / "data", defaults, files, [this] { return clock; }};

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
        TestFileSystem::put(store.stateURL(), state.toFileText());
        store.reload();
    }
};

}  // namespace

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

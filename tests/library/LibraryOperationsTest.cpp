#include <cctype>
#include <functional>
#include <limits>
#include <stdexcept>

#include <gtest/gtest.h>

#include "library/LibraryStore.h"
#include "support/TempDir.h"
#include "util/AtomicFile.h"
#include "util/Uuid.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

Timestamp at(const char* iso) {
    return *iso8601::parse(iso);
}

class CountingFileSystem : public LibraryFileSystem {
public:
    int writes = 0;
    void writeAtomically(const fs::path& path, std::string_view data) override {
        ++writes;
        LibraryFileSystem::writeAtomically(path, data);
    }
};

class LibraryOperationsTest : public ::testing::Test {
protected:
    TempDir dir;
    UserDefaults defaults{dir / "defaults.json"};
    CountingFileSystem files;
    Timestamp clock = at("2025-03-07T05:05:09Z");
    LibraryStore store{dir / "data", defaults, files, [this] { return clock; }};

    LibraryStoreError::Kind errorOf(const std::function<void()>& op) {
        try {
            op();
        } catch (const LibraryStoreError& e) {
            return e.kind();
        }
        ADD_FAILURE() << "no error";
        return LibraryStoreError::Kind::unsupportedVersion;
    }
    std::string messageOf(const std::function<void()>& op) {
        try {
            op();
        } catch (const std::exception& e) {
            return e.what();
        }
        return "<none>";
    }
    void writeState(const std::string& text) {
        fs::create_directories(dir / "data");
        ASSERT_EQ(atomicfile::write(dir / "data" / "library-state.json", text), "");
        store.reload();
    }
};

}  // namespace

TEST_F(LibraryOperationsTest, NamesAreTrimmedAndComparedWithoutCaseOrAccents) {
    const LibraryFolder work = store.createFolder("  Work \n");
    EXPECT_EQ(work.name, "Work");
    EXPECT_TRUE(uuid::isCanonical(work.id));
    EXPECT_EQ(work.id, [&] {
        std::string upper = work.id;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return upper;
    }());
    EXPECT_EQ(work.createdAt, clock);
    store.createFolder("Café");

    struct Case {
        const char* name;
        const char* error;  // nullptr: accepted
    };
    const Case cases[] = {
        {"work", "「work」はすでに存在します。"},
        {"\u3000WORK\t", "「WORK」はすでに存在します。"},
        {"Cafe", "「Cafe」はすでに存在します。"},
        {"CAFE\u0301", "「CAFE\u0301」はすでに存在します。"},
        {"   \n", "対象が見つかりません。"},
        {"", "対象が見つかりません。"},
        {"Work 2", nullptr},
        {"Wo rk", nullptr},
    };
    for (const Case& c : cases) {
        const int writes = files.writes;
        const std::string message = messageOf([&] { store.createFolder(c.name); });
        EXPECT_EQ(message, c.error ? c.error : "<none>") << c.name;
        EXPECT_EQ(files.writes, writes + (c.error ? 0 : 1)) << c.name;
    }
    // Tags are a namespace of their own.
    EXPECT_EQ(store.createTag(" Work ", "red").name, "Work");
    EXPECT_EQ(store.state().tags.back().color, "red");
    EXPECT_EQ(messageOf([&] { store.createTag("WORK"); }), "「WORK」はすでに存在します。");
}

TEST_F(LibraryOperationsTest, SortOrderFollowsTheLargestAndNeverOverflows) {
    EXPECT_EQ(store.createFolder("a").sortOrder, 0);
    writeState(R"({"folders":[
        {"id":"A","name":"a","createdAt":"2025-01-01T00:00:00Z","sortOrder":0},
        {"id":"B","name":"b","createdAt":"2025-01-01T00:00:00Z","sortOrder":5},
        {"id":"C","name":"c","createdAt":"2025-01-01T00:00:00Z","sortOrder":2}]})");
    EXPECT_EQ(store.createFolder("d").sortOrder, 6);
    store.deleteFolder("B");
    const LibraryFolder e = store.createFolder("e");
    EXPECT_EQ(e.sortOrder, 7);  // "d" holds 6 now
    store.deleteFolder(e.id);
    store.deleteFolder(store.state().folders.back().id);
    EXPECT_EQ(store.createFolder("f").sortOrder, 3);

    writeState(R"({"folders":[{"id":"A","name":"a","createdAt":"2025-01-01T00:00:00Z",
                                "sortOrder":9223372036854775807}]})");
    const int writes = files.writes;
    EXPECT_THROW(store.createFolder("b"), std::overflow_error);
    EXPECT_EQ(files.writes, writes);
    EXPECT_EQ(store.state().folders.size(), 1u);
}

TEST_F(LibraryOperationsTest, RenamingChecksNameThenIdThenOthers) {
    const auto work = store.createFolder("Work");
    const auto home = store.createFolder("Home");
    store.renameFolder(work.id, "WORK");
    EXPECT_EQ(store.state().folders[0].name, "WORK");
    EXPECT_EQ(store.state().folders[0].sortOrder, work.sortOrder);
    EXPECT_EQ(store.state().folders[0].createdAt, work.createdAt);

    using K = LibraryStoreError::Kind;
    EXPECT_EQ(errorOf([&] { store.renameFolder(work.id, "home"); }), K::duplicateName);
    EXPECT_EQ(errorOf([&] { store.renameFolder("nothing", "Other"); }), K::itemNotFound);
    EXPECT_EQ(errorOf([&] { store.renameFolder(work.id, "  "); }), K::itemNotFound);
    EXPECT_EQ(errorOf([&] { store.renameFolder("nothing", "home"); }), K::itemNotFound);
    EXPECT_EQ(errorOf([&] { store.deleteFolder("nothing"); }), K::itemNotFound);

    const auto tag = store.createTag("urgent", "red");
    store.createTag("later");
    store.updateTag(tag.id, " Urgent ", std::nullopt);
    EXPECT_EQ(store.state().tags[0].name, "Urgent");
    EXPECT_EQ(store.state().tags[0].color, std::nullopt);
    EXPECT_EQ(errorOf([&] { store.updateTag(tag.id, "LATER", "x"); }), K::duplicateName);
    EXPECT_EQ(errorOf([&] { store.updateTag(home.id, "x", "x"); }), K::itemNotFound);
    EXPECT_EQ(errorOf([&] { store.deleteTag(home.id); }), K::itemNotFound);
}

TEST_F(LibraryOperationsTest, DeletingRemovesIdsButKeepsEntries) {
    const auto a = store.createFolder("A");
    const auto b = store.createFolder("B");
    const auto t = store.createTag("T");
    store.setFolders({a.id}, {"R1"});
    store.setFolders({a.id, b.id}, {"R2"});
    store.addTag(t.id, {"R1", "R2"});
    store.deleteFolder(a.id);
    store.deleteTag(t.id);
    EXPECT_EQ(store.state().folders, std::vector<LibraryFolder>{b});
    EXPECT_TRUE(store.state().tags.empty());
    EXPECT_EQ(store.state().records.at("R1"), LibraryRecordMetadata());
    EXPECT_EQ(store.state().records.at("R2").folderIDs, std::set<std::string>{b.id});
}

TEST_F(LibraryOperationsTest, EmptySetOfRecordsWritesNothing) {
    const auto t = store.createTag("T");
    const int writes = files.writes;
    const LibraryState before = store.state();
    const std::function<void()> ops[] = {
        [&] { store.setFavorite(true, {}); }, [&] { store.setArchived(true, {}); },
        [&] { store.setColor("red", {}); },   [&] { store.setFolders({}, {}); },
        [&] { store.setTags({t.id}, {}); },   [&] { store.markSelected({}); },
        [&] { store.addTag(t.id, {}); },      [&] { store.removeMetadata({}); },
    };
    for (const auto& op : ops) op();
    EXPECT_EQ(files.writes, writes);
    EXPECT_EQ(store.state(), before);
    EXPECT_EQ(errorOf([&] { store.addTag("nothing", {}); }), LibraryStoreError::Kind::itemNotFound);
}

TEST_F(LibraryOperationsTest, RecordOperationsWriteOncePerCall) {
    const auto a = store.createFolder("A");
    const auto t = store.createTag("T");
    const std::set<std::string> ids = {"R1", "R2", "R3"};
    struct Case {
        std::function<void()> op;
        std::function<bool(const LibraryRecordMetadata&)> holds;
    };
    const Case cases[] = {
        {[&] { store.setFavorite(true, ids); }, [](const auto& m) { return m.isFavorite; }},
        {[&] { store.setColor("red", ids); }, [](const auto& m) { return m.color == "red"; }},
        {[&] { store.setColor(std::nullopt, ids); }, [](const auto& m) { return !m.color; }},
        {[&] {
             store.setFolders({a.id, "gone"}, ids);
         },
         [&](const auto& m) { return m.folderIDs == std::set<std::string>{a.id}; }},
        {[&] { store.setFolders({}, ids); }, [](const auto& m) { return m.folderIDs.empty(); }},
        {[&] {
             store.setTags({t.id, "gone"}, ids);
         },
         [&](const auto& m) { return m.tagIDs == std::set<std::string>{t.id}; }},
        {[&] { store.markSelected(ids); },
         [&](const auto& m) { return m.lastSelectedAt == clock; }},
    };
    for (const Case& c : cases) {
        const int writes = files.writes;
        c.op();
        EXPECT_EQ(files.writes, writes + 1);
        for (const auto& id : ids) EXPECT_TRUE(c.holds(store.metadata(id))) << id;
    }
    store.setFavorite(false, {"R9"});
    EXPECT_EQ(store.state().records.at("R9"), LibraryRecordMetadata());
    EXPECT_EQ(store.metadata("R10"), LibraryRecordMetadata());
    EXPECT_EQ(store.state().records.count("R10"), 0u);
}

TEST_F(LibraryOperationsTest, ArchivingKeepsTheFirstStamp) {
    const Timestamp yesterday = clock - std::chrono::hours(24);
    clock = yesterday;
    store.setArchived(true, {"R"});
    clock = yesterday + std::chrono::hours(24);
    store.setArchived(true, {"R"});
    EXPECT_EQ(store.metadata("R").archivedAt, yesterday);
    store.setArchived(false, {"R"});
    EXPECT_EQ(store.metadata("R").archivedAt, std::nullopt);
    store.setArchived(true, {"R"});
    EXPECT_EQ(store.metadata("R").archivedAt, clock);
}

TEST_F(LibraryOperationsTest, OverridesAndReferencesAlwaysCommit) {
    int writes = files.writes;
    store.setTaskOverride(std::nullopt, "task-1", "R");
    EXPECT_EQ(files.writes, ++writes);
    EXPECT_EQ(store.state().records.at("R"), LibraryRecordMetadata());

    const LibraryTaskOverride done{std::nullopt, "Aoi", std::nullopt, "high", true};
    store.setTaskOverride(done, "task-1", "R");
    store.setTaskOverride(LibraryTaskOverride(), "0", "R");
    EXPECT_EQ(store.metadata("R").taskOverrides.at("task-1"), done);
    store.setTaskOverride(std::nullopt, "task-1", "R");
    EXPECT_EQ(store.metadata("R").taskOverrides.count("task-1"), 0u);
    EXPECT_EQ(store.metadata("R").taskOverrides.count("0"), 1u);

    const LibraryRemoteReference share{"tavro", "abc", 1, clock};
    store.setRemoteReference(share, "tavro-share", "R");
    EXPECT_EQ(store.metadata("R").remoteReferences.at("tavro-share"), share);
    store.setRemoteReference(std::nullopt, "tavro-share", "R");
    EXPECT_TRUE(store.metadata("R").remoteReferences.empty());

    writes = files.writes;
    store.removeMetadata({"nobody"});
    EXPECT_EQ(files.writes, writes + 1);
    store.removeMetadata({"R", "nobody"});
    EXPECT_EQ(store.state().records.count("R"), 0u);
}

// The library's stores (the records' files, the library's own state file, user templates) and
// the values they keep: the state file's format and the minutes as edited.
#include <QCoreApplication>
#include <QSignalSpy>

#include <functional>
#include <limits>
#include <stdexcept>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "library/CustomTemplateStore.h"
#include "library/EffectiveMinutes.h"
#include "library/LibrarySearchPreparer.h"
#include "library/LibraryStore.h"
#include "library/MinutesStore.h"
#include "library/TestFileSystem.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"
#include "util/AtomicFile.h"

// Values name only the members a case sets.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace fs = std::filesystem;
using testsupport::ScopedTimeZone;
using testsupport::TempDir;
using Kind = LibraryStoreError::Kind;
namespace em = EffectiveMinutes;

namespace {

const auto writeFile = &TestFileSystem::put;

std::string readFile(const fs::path& p) {
    return atomicfile::read(p).value_or("<missing>");
}

MinutesResult titled(const std::string& title) {
    return {.title = title};
}

MinutesRecord at(const std::string& iso, const std::string& title, const std::string& id = "ID") {
    return MinutesRecord{id, *iso8601::parse(iso), "minutes", "a.m4a", titled(title)};
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
    // A recovery in the same second keeps the earlier bad files.
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
        EXPECT_FALSE(fs::exists(base));  // a fresh folder is made at the first change only
    }

    defaults.set("recordColors", DefaultsDictionary{{"A", "red"}});
    files.failWrites = true;
    EXPECT_TRUE(open()->lastError().value_or("").starts_with("色設定の移行に失敗しました: "));
    files.failWrites = false;
    EXPECT_EQ(open()->metadata("A").color, "red");
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

// The record store over the same folders, in Tokyo.
class MinutesStoreTest : public LibraryStoreTest {
protected:
    fs::path legacy = dir / "legacy";

    std::unique_ptr<MinutesStore> open() {
        return std::make_unique<MinutesStore>(defaults, base, legacy);
    }
    // Writes a record file into `folder`/minutes.
    static void put(const fs::path& folder, const std::string& name, const MinutesRecord& r) {
        writeFile(folder / "minutes" / name, json::dumpCompact(r.toJson()));
    }
    std::vector<std::string> ids() {
        std::vector<std::string> out;
        const auto store = open();  // kept alive while its records are read
        for (const auto& r : store->records()) out.push_back(r.id);
        return out;
    }
};

// Slashes, colons and LF are replaced, CR is kept; 40 characters; a byte cap at a cluster.
TEST(FileBase, NamingRules) {
    ScopedTimeZone tz("Asia/Tokyo");
    const std::string family = "👨‍👩‍👧‍👦";  // one cluster, 25 bytes
    std::string families;
    for (int i = 0; i < 45; ++i) families += family;
    const std::string stamp = "2025-03-07_1405_";
    const std::pair<std::string, std::string> table[] = {
        {"営業/定例: 第2回", stamp + "営業_定例_ 第2回"},
        {"a\\b\nc\rd", stamp + "a_b_c\rd"},
        {std::string(50, 'x'), stamp + std::string(40, 'x')},
        {"e\u0301" + std::string(45, 'y'), stamp + "e\u0301" + std::string(39, 'y')},
    };
    for (const auto& [title, expected] : table)
        EXPECT_EQ(MinutesStore::fileBase(at("2025-03-07T05:05:00Z", title)), expected) << title;
    const auto capped = MinutesStore::fileBase(at("2025-03-07T05:05:00Z", families));
    EXPECT_LE(capped.size() + 5, 255u);
    EXPECT_EQ((capped.size() - stamp.size()) % family.size(), 0u);
}

TEST_F(MinutesStoreTest, AddWritesBothFilesAndInsertsLater) {
    auto store = open();
    std::string error = "unset";
    const auto record = store->add(titled("定例"), "sales", "rec.m4a", &error);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(store->records().empty());  // inserted on the event loop, not inline
    QCoreApplication::processEvents();
    EXPECT_EQ(store->records(), std::vector<MinutesRecord>{record});
    EXPECT_NE(atomicfile::read(store->mdURL(record))->find("> テンプレート: 商談メモ"),
              std::string::npos);
    const auto again = open();  // a restart finds it in its JSON file
    ASSERT_EQ(again->records().size(), 1u);
    EXPECT_EQ(again->records()[0].result, record.result);

    // A record whose files cannot be written is reported, and kept.
    fs::remove_all(store->minutesDir());
    writeFile(store->minutesDir(), "not a folder");
    const auto unsaved = store->add(titled("t"), "minutes", "a.m4a", &error);
    EXPECT_NE(error, "");
    QCoreApplication::processEvents();
    EXPECT_THAT(store->records(), testing::UnorderedElementsAre(record, unsaved));
}

// Forty flags (8 bytes each) give the longest base: it and the clash on it still fit, the
// temporary names of their atomic writes included.
TEST_F(MinutesStoreTest, SameMinuteAndTitleNeverShareFiles) {
    std::string flags, errorA, errorB;
    for (int i = 0; i < 40; ++i) flags += "🇯🇵";
    auto store = open();
    MinutesRecord a, b;
    do {  // retried only if the two adds straddle a minute boundary
        a = store->add(titled(flags), "minutes", "a.m4a", &errorA);
        b = store->add(titled(flags), "minutes", "b.m4a", &errorB);
    } while (MinutesStore::fileBase(a) != MinutesStore::fileBase(b));
    EXPECT_EQ(errorA + errorB, "");
    QCoreApplication::processEvents();
    EXPECT_EQ(store->mdURL(b).stem().string(), MinutesStore::fileBase(b) + "-2");

    // Deleting one after a restart removes its own files only.
    auto reopened = open();
    reopened->remove(a);
    EXPECT_FALSE(fs::exists(reopened->mdURL(a)));
    EXPECT_TRUE(fs::exists(reopened->mdURL(b)));
    const auto left = ids();
    EXPECT_EQ(std::count(left.begin(), left.end(), a.id), 0);
    EXPECT_EQ(std::count(left.begin(), left.end(), b.id), 1);
}

TEST_F(MinutesStoreTest, LoadKeepsOnlyDecodableJsonNewestFirst) {
    put(base, "old.json", at("2025-01-01T00:00:00Z", "old", "OLD"));
    put(base, "new.json", at("2025-02-01T00:00:00Z", "new", "NEW"));
    put(base, "upper.JSON", at("2025-03-01T00:00:00Z", "u", "UPPER"));
    put(base, "backup.json.bak", at("2025-03-01T00:00:00Z", "b", "BAK"));
    writeFile(base / "minutes/note.md", "# md");
    writeFile(base / "minutes/broken.json", "{\"id\":");
    EXPECT_EQ(ids(), (std::vector<std::string>{"NEW", "OLD"}));

    // Equal dates keep the listing order, also when files are read in parallel.
    fs::remove_all(base);
    for (const char* id : {"A", "B", "C", "D"})
        put(base, std::string(id) + ".json", at("2025-01-01T00:00:00Z", id, id));
    std::vector<std::string> listing;
    for (const auto& e : fs::directory_iterator(base / "minutes"))
        listing.push_back(e.path().stem());
    EXPECT_EQ(ids(), listing);
}

// A record the store cannot hold ends no start: a file beyond the largest string (a hole on the
// memory file system, which takes any size) is skipped like a malformed one, whichever thread
// reads it; the others load, and the file is not left open.
TEST_F(MinutesStoreTest, ARecordTooLargeToHoldIsSkippedLikeAMalformedOne) {
    std::string huge = "/dev/shm/tavro-huge-XXXXXX";
    const int fd = ::mkstemp(huge.data());
    const bool made = fd >= 0 && ::ftruncate(fd, off_t(std::string().max_size())) == 0;
    if (fd >= 0) ::close(fd);
    const std::shared_ptr<void> removed(nullptr, [&](void*) { ::unlink(huge.c_str()); });
    TAVRO_REQUIRE_ENV("a memory file system at /dev/shm that takes a file of any size", made);

    std::vector<std::string> expected;
    for (int day = 10; day < 22; ++day) {  // enough for the worker threads to read some
        const std::string id = "R" + std::to_string(day);
        put(base, id + ".json", at("2025-01-" + std::to_string(day) + "T00:00:00Z", "t", id));
        expected.insert(expected.begin(), id);
    }
    fs::create_symlink(huge, base / "minutes" / "huge.json");
    writeFile(base / "minutes" / "broken.json", "{\"id\":");
    EXPECT_EQ(ids(), expected);
    for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        EXPECT_NE(fs::read_symlink(e.path(), ec), huge) << "still open";
    }
}

TEST_F(MinutesStoreTest, MigrationCopiesOnceAndNeverMoves) {
    put(legacy, "x.json", at("2025-01-01T00:00:00Z", "x", "X"));
    open();
    EXPECT_TRUE(fs::exists(base / "minutes/x.json"));
    EXPECT_TRUE(fs::exists(legacy / "minutes/x.json"));  // copied, not moved

    put(legacy, "y.json", at("2025-01-02T00:00:00Z", "y", "Y"));
    EXPECT_EQ(ids(), std::vector<std::string>{"X"});  // existing folders are not merged
    for (const auto& e : fs::directory_iterator(base))
        EXPECT_EQ(e.path().filename().string().find(".migrating"), std::string::npos);
}

TEST_F(MinutesStoreTest, NoMigrationWhenLegacyIsTheDataFolder) {
    put(base, "x.json", at("2025-01-01T00:00:00Z", "x", "X"));
    fs::create_symlink(base, dir / "alias");
    MinutesStore store(defaults, base, dir / "alias");
    EXPECT_EQ(store.records().size(), 1u);
    std::set<std::string> entries;
    for (const auto& e : fs::directory_iterator(base)) entries.insert(e.path().filename());
    EXPECT_EQ(entries, (std::set<std::string>{"agent", "minutes", "recordings"}));
}

// Nobody else on the machine reads the data folder: a fresh start makes everything private, and
// a start over a tree made readable before (0755/0644) takes that away, leaving links alone.
TEST_F(MinutesStoreTest, OnlyItsOwnerCanReadTheDataFolder) {
    ::umask(022);
    const auto record = open()->add(titled("定例"), "minutes", "a.m4a");
    LibraryStore(base, defaults).setTaskOverride(LibraryTaskOverride{}, "t", record.id);
    writeFile(dir / "outside" / "shared.txt", "");
    for (const bool loosened : {false, true}) {
        if (loosened) {
            fs::create_directory_symlink(dir / "outside", base / "minutes" / "link");
            for (const auto& e : fs::recursive_directory_iterator(dir.path()))
                fs::permissions(e.path(), fs::perms(e.is_directory() ? 055 : 044),
                                fs::perm_options::add);
            open();
        }
        EXPECT_EQ(fs::status(base).permissions(), fs::perms(0700));
        for (const auto& e : fs::recursive_directory_iterator(base)) {
            const auto want = e.is_symlink() ? e.symlink_status().permissions()
                                             : fs::perms(e.is_directory() ? 0700 : 0600);
            EXPECT_EQ(e.symlink_status().permissions(), want) << e.path();
        }
    }
    EXPECT_EQ(fs::status(dir / "outside" / "shared.txt").permissions(), fs::perms(0644));
}

TEST_F(MinutesStoreTest, ThisMonthCountFollowsTheLocalCalendar) {
    for (const char* date : {"2025-03-01T00:00:00+09:00", "2025-02-28T23:59:59+09:00",
                             "2024-03-15T12:00:00+09:00", "2025-03-31T23:59:59+09:00"})
        put(base, std::string(date) + ".json", at(date, "t", date));
    auto store = open();
    EXPECT_EQ(store->thisMonthCount(*iso8601::parse("2025-03-15T00:00:00+09:00")), 2);
    EXPECT_EQ(store->thisMonthCount(*iso8601::parse("2025-02-28T15:00:00Z")), 2);  // 3/1 in Tokyo
    EXPECT_EQ(store->thisMonthCount(*iso8601::parse("2025-02-10T00:00:00+09:00")), 1);
}

TEST_F(MinutesStoreTest, DeleteWithoutFilesStillForgetsRecordAndColour) {
    auto store = open();
    const auto kept = store->add(titled("kept"), "minutes", "a.m4a");
    const auto gone = store->add(titled("gone"), "minutes", "b.m4a");
    QCoreApplication::processEvents();
    store->setColor("blue", kept);
    store->setColor("red", gone);
    fs::remove(store->mdURL(gone));
    auto json = store->mdURL(gone);
    fs::remove(json.replace_extension(".json"));

    // Passed an element of the store's own list, as a list view does.
    ASSERT_EQ(store->records().front().id, gone.id);
    store->remove(store->records().front());
    ASSERT_EQ(store->records().size(), 1u);
    EXPECT_EQ(store->records()[0].id, kept.id);
    EXPECT_EQ(store->recordColors(), (std::map<std::string, std::string>{{kept.id, "blue"}}));
    EXPECT_EQ(defaults.dictionaryValue("recordColors")->size(), 1u);
}

TEST_F(MinutesStoreTest, ColoursSetHereMoveToTheLibrary) {
    MinutesRecord r;
    r.id = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";
    open()->setColor("purple", r);
    EXPECT_EQ(LibraryStoreTest::open()->metadata(r.id).color, "purple");
}

TEST_F(MinutesStoreTest, ForeignColourMapReadsAsEmpty) {
    defaults.set("recordColors", DefaultsDictionary{{"A", "red"}, {"B", std::int64_t{3}}});
    EXPECT_TRUE(open()->recordColors().empty());
}

TEST_F(MinutesStoreTest, SearchPreparerPreparesEveryRecordAndNeverInstallsAStaleText) {
    auto store = open();
    auto add = [&](const std::string& title) {
        store->add({.title = title,
                    .summary = title + "の要約",
                    .transcript = {{"田中", std::nullopt, "本文"}}},
                   "minutes", title + ".m4a");
        QCoreApplication::processEvents();
    };
    // More than a few batches, so that several workers take part.
    for (int i = 0; i < 3 * static_cast<int>(LibrarySearchPreparer::kBatch) + 5; ++i)
        add("会議" + std::to_string(i));

    LibrarySearchCache cache;
    LibrarySearchPreparer preparer(cache);
    QSignalSpy finished(&preparer, &LibrarySearchPreparer::finished);
    preparer.follow(*store);
    ASSERT_TRUE(finished.wait(20000));
    for (const MinutesRecord& r : store->records())
        EXPECT_TRUE(cache.isPrepared(r)) << r.result.title;

    // A record that arrives later is prepared after it arrives.
    add("追加の会議");
    if (preparer.busy()) {
        ASSERT_TRUE(finished.wait(20000));
    }
    EXPECT_TRUE(cache.isPrepared(store->records().front()));

    // Text folded from another record under the same id is dropped, not installed.
    MinutesRecord changed = store->records().front();
    changed.result.title = "別の内容で長くなったタイトル";
    cache.install(LibrarySearchCache::prepare(LibrarySearchCache::piecesOf(changed)));
    const MinutesRecord& kept = store->records().front();
    EXPECT_EQ(cache.slotFor(kept, 0).text(kept).folded().find("別の内容"), std::string::npos);
    EXPECT_FALSE(cache.isPrepared(changed));
}

namespace {

Timestamp at(const char* iso) {
    return *iso8601::parse(iso);
}

LibraryState decode(const std::string& text) {
    return LibraryState::fromJson(json::parse(text), at("2030-01-01T00:00:00Z"));
}

TodoItem item(std::string task, std::optional<std::string> assignee = {},
              std::optional<std::string> due = {}) {
    return TodoItem{std::move(task), std::move(assignee), std::move(due), std::nullopt,
                    std::nullopt};
}

CustomTemplate make(const std::string& id, const std::string& label = "ラベル") {
    return CustomTemplate{id, label, "説明", "指示"};
}

using CustomTemplateStoreTest = LibraryStoreTest;

TEST(LibraryStateJson, GoldenFileIsPrettyWithSortedKeys) {
    LibraryState s;
    s.updatedAt = at("2025-03-07T05:05:09Z") + std::chrono::milliseconds(900);
    s.folders = {{"F1", "Work", at("2025-03-01T00:00:00Z"), 0}};
    s.tags = {{"T1", "重要", "red", at("2025-03-02T00:00:00Z")}};
    s.records["R1"] = {
        .folderIDs = {"F1"},
        .isFavorite = true,
        .archivedAt = at("2025-03-04T10:00:00Z"),
        .taskOverrides = {{"task-1", {}},
                          {"0", {"Send", "Aoi", at("2025-03-05T00:00:00Z"), "high", true}}},
        .remoteReferences = {{"tavro-share", {"tavro", "abc", 1, at("2025-03-06T00:00:00Z")}}}};

    const std::string golden = R"({
  "folders": [
    {
      "createdAt": "2025-03-01T00:00:00Z",
      "id": "F1",
      "name": "Work",
      "sortOrder": 0
    }
  ],
  "records": {
    "R1": {
      "archivedAt": "2025-03-04T10:00:00Z",
      "folderIDs": [
        "F1"
      ],
      "isFavorite": true,
      "remoteReferences": {
        "tavro-share": {
          "provider": "tavro",
          "remoteID": "abc",
          "syncedAt": "2025-03-06T00:00:00Z",
          "version": 1
        }
      },
      "tagIDs": [],
      "taskOverrides": {
        "0": {
          "assignee": "Aoi",
          "dueDate": "2025-03-05T00:00:00Z",
          "isCompleted": true,
          "priority": "high",
          "title": "Send"
        },
        "task-1": {}
      }
    }
  },
  "tags": [
    {
      "color": "red",
      "createdAt": "2025-03-02T00:00:00Z",
      "id": "T1",
      "name": "重要"
    }
  ],
  "updatedAt": "2025-03-07T05:05:09Z",
  "version": 1
})";
    EXPECT_EQ(s.toFileText(), golden);
    // Read back, the date has lost its fraction of a second and nothing else.
    const LibraryState back = decode(golden);
    EXPECT_NE(back, s);
    s.updatedAt = at("2025-03-07T05:05:09Z");
    EXPECT_EQ(back, s);
}

TEST(LibraryStateJson, MissingAndNullMembersTakeDefaults) {
    LibraryState empty;
    empty.updatedAt = at("2030-01-01T00:00:00Z");
    EXPECT_EQ(decode(R"({"version":null,"folders":null,"tags":null,"records":null})"), empty);
    EXPECT_EQ(decode(R"({"records":{"R":{"isFavorite":null,"taskOverrides":null,"color":null,
                                         "archivedAt":null,"folderIDs":null}}})")
                  .records.at("R"),
              LibraryRecordMetadata());

    auto s = decode(R"({"tags":[{"id":"T","name":"n","createdAt":"2025-01-01T00:00:00Z"}],
                        "records":{"R":{"folderIDs":["a","b","a"]}}, "unknown":[1]})");
    EXPECT_EQ(s.tags.at(0).color, std::nullopt);
    EXPECT_EQ(s.records.at("R").folderIDs, (std::set<std::string>{"a", "b"}));
    EXPECT_EQ(decode(R"({"version":2})").version, 2);  // refused later, by the store
}

TEST(LibraryStateJson, AnyWrongMemberFailsTheWholeFile) {
    const char* bad[] = {
        R"([])",
        R"({"version":1.5})",
        R"({"folders":[{"id":"F","name":"n","createdAt":"2025-01-01T00:00:00Z"}]})",
        R"({"folders":[{"id":"F","name":null,"createdAt":"2025-01-01T00:00:00Z","sortOrder":0}]})",
        R"({"folders":[{"id":"F","name":"n","createdAt":"2025-01-01T00:00:00Z","sortOrder":1.0}]})",
        R"({"tags":[{"id":"T","name":"n","color":3,"createdAt":"2025-01-01T00:00:00Z"}]})",
        R"({"records":{"R":{"isFavorite":"true"}}})",
        R"({"records":{"R":{"folderIDs":["a",1]}}})",
        R"({"records":{"R":{"archivedAt":"2025-01-01T00:00:00.500Z"}}})",
        R"({"records":{"R":{"lastSelectedAt":"2025-01-01T00:00:00"}}})",
        R"({"records":{"R":{"taskOverrides":{"t":{"isCompleted":1}}}}})",
        R"({"records":{"R":{"remoteReferences":{"p":{"provider":"x","remoteID":"y","version":"1"}}}}})",
        R"({"updatedAt":"yesterday"})",
    };
    for (const char* text : bad) EXPECT_THROW(decode(text), json::Error) << text;
}

TEST(EffectiveMinutes, TaskIDIsTheStoredKeyFormat) {
    EXPECT_EQ(em::taskID(item("abc")), "task-6363ae2d763a054b");
    EXPECT_EQ(em::taskID(item("")), "task-8e34c07b581a8a5") << "no zero padding";
    EXPECT_EQ(em::taskID(item("資料を共有", "田中", "5/10")), "task-faeb5c0dacceb61e")
        << "UTF-8 bytes";
    EXPECT_EQ(em::taskID(item("a", "", "")), em::taskID(item("a"))) << "absent == empty";
}

TEST(EffectiveMinutes, LegacyKeyIsFoundUntilTheTaskIDHasAnEntry) {
    const TodoItem t = item("報告書", "佐藤");
    em::Overrides map{{"1", {"古い", {}, {}, {}, {}}}};
    EXPECT_EQ(em::taskOverride(map, 1, t)->title, "古い");
    EXPECT_EQ(em::taskOverride(map, 0, t), std::nullopt);

    map[em::taskID(t)] = em::toggled(em::taskOverride(map, 1, t));
    EXPECT_EQ(map[em::taskID(t)].title, "古い") << "the legacy entry is carried over";
    EXPECT_TRUE(em::isTaskDone(map, 1, t));
    map[em::taskID(t)] = em::toggled(em::taskOverride(map, 1, t));
    EXPECT_EQ(em::taskOverride(map, 1, t)->isCompleted, false) << "present, not absent";
    EXPECT_EQ(map.count("1"), 1u);
}

TEST(EffectiveMinutes, ParseTaskDate) {
    ScopedTimeZone tz("Asia/Tokyo");
    const Timestamp now = at("2026-12-06T12:00:00Z");
    const std::pair<const char*, const char*> dates[] = {
        {"2025-05-10", "2025-05-09T15:00:00Z"},
        {"2025/5/1", "2025-04-30T15:00:00Z"},
        {"5/10", "2026-05-09T15:00:00Z"},
        {"12/31", "2026-12-30T15:00:00Z"},
        // The clock holds about 1678 to 2262: beyond, never a wrapped-around date.
        {"2261-12-31", "2261-12-30T15:00:00Z"},
        {"2262-04-12", "2262-04-11T15:00:00Z"}};  // just inside in Tokyo
    for (const auto& [text, expected] : dates)
        EXPECT_EQ(em::parseTaskDate(text, now), at(expected)) << text;
    const char* none[] = {"",     "5/10まで",         " 5/10",      "2025-02-30",
                          "13/1", "2025-05-10T10:00", "1600-01-01", "9999-12-31"};
    for (const char* text : none) EXPECT_EQ(em::parseTaskDate(text, now), std::nullopt) << text;
    EXPECT_EQ(em::parseTaskDate(std::nullopt, now), std::nullopt);
    ScopedTimeZone utc("UTC");  // there midnight of 12 April 2262 is past the end
    EXPECT_EQ(em::parseTaskDate("2262-04-12", now), std::nullopt);
}

TEST(EffectiveMinutes, EffectiveResultInANonUtcZone) {
    ScopedTimeZone tz("America/Los_Angeles");
    const MinutesResult r{
        .title = "定例",
        .todos = {item("見積もり", "田中", "来週"), item("議事録の共有", std::nullopt, "3/14"),
                  item("契約書の確認", "鈴木"), item("手つかず", "森")}};
    em::Overrides map;
    // 23:30 on 10 May in Los Angeles is already 11 May in UTC.
    map[em::taskID(r.todos[0])] = {"見積もり（改）", "佐藤", at("2025-05-11T06:30:00Z"), "高", {}};
    map[em::taskID(r.todos[1])] = {"", "", {}, {}, {}};
    map["2"] = {{}, "", {}, {}, true};

    const MinutesResult out = em::effectiveResult(r, map);
    EXPECT_EQ(out.todos[0], item("見積もり（改）", "佐藤", "2025-05-10"));
    EXPECT_EQ(out.todos[1], r.todos[1]) << "an empty title falls back to the item's";
    EXPECT_EQ(out.todos[2], item("契約書の確認")) << "a cleared assignee is left out";
    EXPECT_EQ(out.todos[3], r.todos[3]);
    EXPECT_EQ(out.title, r.title);
    EXPECT_NE(em::markdown(r, map, "議事録").find("見積もり（改）"), std::string::npos);
    EXPECT_EQ(em::markdown(r, map, "議事録").find("鈴木"), std::string::npos);
}

TEST(EffectiveMinutes, HeaderLine) {
    using V = std::vector<std::string>;
    const std::pair<std::optional<MinutesMeta>, std::optional<std::string>> cases[] = {
        {std::nullopt, std::nullopt},
        {MinutesMeta{}, std::nullopt},
        {MinutesMeta{"", "", V{}}, std::nullopt},
        {MinutesMeta{std::nullopt, std::nullopt, V{"A", "B"}}, "出席者: A、B"},
        {MinutesMeta{"3/7", "会議室A", V{"A", "", "B"}},
         "日付: 3/7  ・  場所: 会議室A  ・  出席者: A、、B"},
        {MinutesMeta{std::nullopt, "本社", std::nullopt}, "場所: 本社"},
    };
    for (const auto& [meta, expected] : cases) EXPECT_EQ(em::headerLine({.meta = meta}), expected);
}

// Built-in labels, the default for unknown ids, and user templates shadowing built-ins.
TEST_F(CustomTemplateStoreTest, LabelsFallBackInOrder) {
    EXPECT_EQ(templateLabel("callmemo", defaults), "電話記録");
    EXPECT_EQ(templateLabel("nope", defaults), "議事録");
    ASSERT_TRUE(
        CustomTemplateStore::save({make("sales", "自作"), make("custom-1", "社内")}, defaults));
    EXPECT_EQ(templateLabel("sales", defaults), "自作");
    EXPECT_EQ(templateLabel("custom-1", defaults), "社内");
}

TEST_F(CustomTemplateStoreTest, UndecodableStoreReadsEmptyAndIsKeptOnSave) {
    const std::string bad = R"([{"id":"a","label":"l","detail":"d"}])";
    for (const std::string& bytes : {std::string("not json"), bad}) {
        defaults.set("customTemplates", DefaultsData{bytes});
        EXPECT_TRUE(CustomTemplateStore::load(defaults).empty()) << bytes;
        EXPECT_EQ(defaults.dataValue("customTemplates")->bytes, bytes);  // untouched by reading
    }
    ASSERT_TRUE(CustomTemplateStore::save({make("new")}, defaults));
    EXPECT_EQ(defaults.dataValue("customTemplates.unreadable")->bytes, bad);
    EXPECT_EQ(CustomTemplateStore::load(defaults), std::vector<CustomTemplate>{make("new")});
}

TEST_F(CustomTemplateStoreTest, KeepsTheFirstTwenty) {
    std::vector<CustomTemplate> many;
    for (int i = 1; i <= 21; ++i) many.push_back(make("custom-" + std::to_string(i)));
    ASSERT_TRUE(CustomTemplateStore::save(many, defaults));
    const auto stored = CustomTemplateStore::load(defaults);
    ASSERT_EQ(stored.size(), 20u);
    EXPECT_EQ(stored.back().id, "custom-20");
}

}  // namespace

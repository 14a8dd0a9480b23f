#include <QCoreApplication>

#include <fstream>

#include <gtest/gtest.h>

#include "library/MinutesStore.h"
#include "support/TempDir.h"
#include "util/AtomicFile.h"
#include "util/UserDefaults.h"

namespace fs = std::filesystem;
using testsupport::ScopedTimeZone;
using testsupport::TempDir;

namespace {

MinutesResult titled(const std::string& title) {
    MinutesResult r;
    r.title = title;
    r.summary = "要約";
    return r;
}

MinutesRecord at(const std::string& iso, const std::string& title, const std::string& id = "ID") {
    return MinutesRecord{id, *iso8601::parse(iso), "minutes", "a.m4a", titled(title)};
}

void writeFile(const fs::path& p, const std::string& content) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
}

std::string recordJson(const MinutesRecord& r) {
    return json::dumpCompact(r.toJson());
}

class MinutesStoreTest : public ::testing::Test {
protected:
    TempDir dir;
    UserDefaults defaults{dir / "defaults.json"};
    fs::path base = dir / "data";
    fs::path legacy = dir / "legacy";

    std::unique_ptr<MinutesStore> open() {
        return std::make_unique<MinutesStore>(defaults, base, legacy);
    }
    static void drain() { QCoreApplication::processEvents(); }
};

TEST(FileBase, NamingRules) {
    ScopedTimeZone tz("Asia/Tokyo");
    const std::string family = "👨‍👩‍👧‍👦";  // one cluster, 25 bytes
    std::string fortyFamilies;
    for (int i = 0; i < 45; ++i) fortyFamilies += family;

    const std::pair<std::string, std::string> table[] = {
        {"営業/定例: 第2回", "2025-03-07_1405_営業_定例_ 第2回"},
        {"", "2025-03-07_1405_"},
        {"a\\b\nc\rd", "2025-03-07_1405_a_b_c\rd"},
        {std::string(50, 'x'), "2025-03-07_1405_" + std::string(40, 'x')},
        {"e\u0301" + std::string(45, 'y'), "2025-03-07_1405_e\u0301" + std::string(39, 'y')},
    };
    for (const auto& [title, expected] : table)
        EXPECT_EQ(MinutesStore::fileBase(at("2025-03-07T05:05:00Z", title)), expected) << title;

    // Forty large clusters exceed a file name; the cut keeps whole clusters within 250 bytes.
    const auto capped = MinutesStore::fileBase(at("2025-03-07T05:05:00Z", fortyFamilies));
    EXPECT_LE(capped.size() + 5, 255u);
    EXPECT_EQ((capped.size() - std::string("2025-03-07_1405_").size()) % family.size(), 0u);
}

TEST_F(MinutesStoreTest, AddWritesBothFilesAndInsertsLater) {
    auto store = open();
    std::string error = "unset";
    const auto record = store->add(titled("定例"), "sales", "rec.m4a", &error);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(store->records().empty());  // inserted on the event loop, not inline
    drain();
    ASSERT_EQ(store->records().size(), 1u);
    EXPECT_EQ(store->records()[0], record);

    const auto md = store->mdURL(record);
    ASSERT_TRUE(fs::exists(md));
    EXPECT_NE(atomicfile::read(md)->find("> テンプレート: 商談メモ"), std::string::npos);
    auto json = md;
    json.replace_extension(".json");
    EXPECT_EQ(MinutesRecord::fromJson(json::parse(*atomicfile::read(json))).id, record.id);

    // A restart finds the record again, with whole seconds.
    auto again = open();
    ASSERT_EQ(again->records().size(), 1u);
    EXPECT_EQ(again->records()[0].id, record.id);
    EXPECT_EQ(again->records()[0].result, record.result);
}

TEST_F(MinutesStoreTest, SameMinuteAndTitleNeverShareFiles) {
    auto store = open();
    MinutesRecord a, b;
    do {  // retried only if the two adds straddle a minute boundary
        a = store->add(titled("同じ題"), "minutes", "a.m4a");
        b = store->add(titled("同じ題"), "minutes", "b.m4a");
    } while (MinutesStore::fileBase(a) != MinutesStore::fileBase(b));
    drain();
    EXPECT_NE(store->mdURL(a), store->mdURL(b));
    EXPECT_EQ(store->mdURL(b).stem().string(), MinutesStore::fileBase(b) + "-2");

    // Deleting one leaves the other's files, also after a restart.
    auto reopened = open();
    ASSERT_GE(reopened->records().size(), 2u);
    reopened->remove(a);
    EXPECT_FALSE(fs::exists(reopened->mdURL(a)));
    EXPECT_TRUE(fs::exists(reopened->mdURL(b)));
    auto third = open();
    ASSERT_EQ(std::count_if(third->records().begin(), third->records().end(),
                            [&](const auto& r) { return r.id == b.id; }),
              1);
    EXPECT_EQ(std::count_if(third->records().begin(), third->records().end(),
                            [&](const auto& r) { return r.id == a.id; }),
              0);
}

TEST_F(MinutesStoreTest, FailedWriteIsReportedButRecordIsKept) {
    auto store = open();
    fs::remove_all(store->minutesDir());
    writeFile(store->minutesDir(), "not a folder");
    std::string error;
    const auto record = store->add(titled("t"), "minutes", "a.m4a", &error);
    EXPECT_NE(error, "");
    drain();
    ASSERT_EQ(store->records().size(), 1u);
    EXPECT_EQ(store->records()[0].id, record.id);
}

TEST_F(MinutesStoreTest, LoadKeepsOnlyDecodableJsonNewestFirst) {
    const auto minutes = base / "minutes";
    writeFile(minutes / "old.json", recordJson(at("2025-01-01T00:00:00Z", "old", "OLD")));
    writeFile(minutes / "new.json", recordJson(at("2025-02-01T00:00:00Z", "new", "NEW")));
    writeFile(minutes / "upper.JSON", recordJson(at("2025-03-01T00:00:00Z", "u", "UPPER")));
    writeFile(minutes / "backup.json.bak", recordJson(at("2025-03-01T00:00:00Z", "b", "BAK")));
    writeFile(minutes / "note.md", "# md");
    writeFile(minutes / "broken.json", "{\"id\":");
    writeFile(minutes / "truncated.json",
              recordJson(at("2025-03-01T00:00:00Z", "t")).substr(0, 40));

    auto store = open();
    std::vector<std::string> ids;
    for (const auto& r : store->records()) ids.push_back(r.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"NEW", "OLD"}));
}

TEST_F(MinutesStoreTest, EqualDatesKeepListingOrder) {
    const auto minutes = base / "minutes";
    for (const char* id : {"A", "B", "C", "D"})
        writeFile(minutes / (std::string(id) + ".json"),
                  recordJson(at("2025-01-01T00:00:00Z", id, id)));
    std::vector<std::string> listing;
    for (const auto& e : fs::directory_iterator(minutes)) listing.push_back(e.path().stem());
    auto store = open();
    std::vector<std::string> ids;
    for (const auto& r : store->records()) ids.push_back(r.id);
    EXPECT_EQ(ids, listing);
}

TEST_F(MinutesStoreTest, MigrationCopiesOnceAndNeverMoves) {
    writeFile(legacy / "minutes" / "x.json", recordJson(at("2025-01-01T00:00:00Z", "x", "X")));
    writeFile(legacy / "library-state.json", "{}");
    open();
    EXPECT_TRUE(fs::exists(base / "minutes" / "x.json"));
    EXPECT_TRUE(fs::exists(base / "library-state.json"));
    EXPECT_TRUE(fs::exists(legacy / "minutes" / "x.json"));  // copied, not moved

    writeFile(legacy / "minutes" / "y.json", recordJson(at("2025-01-02T00:00:00Z", "y", "Y")));
    writeFile(legacy / "recordings" / "r.m4a", "audio");
    auto second = open();
    EXPECT_FALSE(fs::exists(base / "minutes" / "y.json"));    // existing folders are not merged
    EXPECT_FALSE(fs::exists(base / "recordings" / "r.m4a"));  // made empty by the first start
    EXPECT_EQ(second->records().size(), 1u);
    for (const auto& e : fs::directory_iterator(base))
        EXPECT_EQ(e.path().filename().string().find(".migrating"), std::string::npos);
}

TEST_F(MinutesStoreTest, NoMigrationWhenLegacyIsTheDataFolder) {
    writeFile(base / "minutes" / "x.json", recordJson(at("2025-01-01T00:00:00Z", "x", "X")));
    fs::create_symlink(base, dir / "alias");
    MinutesStore store(defaults, base, dir / "alias");
    EXPECT_EQ(store.records().size(), 1u);
    std::vector<std::string> entries;
    for (const auto& e : fs::directory_iterator(base)) entries.push_back(e.path().filename());
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"agent", "minutes", "recordings"}));
}

TEST_F(MinutesStoreTest, ThisMonthCountFollowsTheLocalCalendar) {
    ScopedTimeZone tz("Asia/Tokyo");
    const auto minutes = base / "minutes";
    const std::pair<const char*, const char*> files[] = {
        {"first", "2025-03-01T00:00:00+09:00"},     // 1st of this month, local midnight
        {"lastPrev", "2025-02-28T23:59:59+09:00"},  // last moment of the previous month
        {"lastYear", "2024-03-15T12:00:00+09:00"},  // same month, previous year
        {"end", "2025-03-31T23:59:59+09:00"},
    };
    for (const auto& [id, date] : files)
        writeFile(minutes / (std::string(id) + ".json"), recordJson(at(date, id, id)));
    auto store = open();
    EXPECT_EQ(store->thisMonthCount(*iso8601::parse("2025-03-15T00:00:00+09:00")), 2);
    EXPECT_EQ(store->thisMonthCount(*iso8601::parse("2025-02-28T15:00:00Z")), 2);  // 3/1 in Tokyo
    EXPECT_EQ(store->thisMonthCount(*iso8601::parse("2025-02-10T00:00:00+09:00")), 1);
}

TEST_F(MinutesStoreTest, DeleteWithoutFilesStillForgetsRecordAndColour) {
    auto store = open();
    const auto kept = store->add(titled("kept"), "minutes", "a.m4a");
    const auto gone = store->add(titled("gone"), "minutes", "b.m4a");
    drain();
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
    const std::map<std::string, std::string> colours{{kept.id, "blue"}};
    EXPECT_EQ(store->recordColors(), colours);
    EXPECT_EQ(defaults.dictionaryValue("recordColors")->size(), 1u);
}

TEST_F(MinutesStoreTest, ForeignColourMapReadsAsEmpty) {
    defaults.set("recordColors", DefaultsDictionary{{"A", DefaultsValue("red")},
                                                    {"B", DefaultsValue(std::int64_t{3})}});
    EXPECT_TRUE(open()->recordColors().empty());
    defaults.set("recordColors", DefaultsDictionary{{"A", DefaultsValue("red")}});
    EXPECT_EQ(open()->recordColors().at("A"), "red");
}

}  // namespace

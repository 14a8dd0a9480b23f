#include <gtest/gtest.h>

#include "library/LibraryStore.h"
#include "support/TempDir.h"
#include "util/Text.h"

using testsupport::TempDir;

namespace {

MinutesRecord record(const std::string& id) {
    MinutesRecord r;
    r.id = id;
    r.createdAt = *iso8601::parse("2025-03-07T05:00:00Z");
    r.templateId = "general";
    r.sourceName = id + ".m4a";
    r.result.title = "T_" + id;
    return r;
}

class LibraryFilterTest : public ::testing::Test {
protected:
    TempDir dir;
    UserDefaults defaults{dir / "defaults.json"};
    LibraryStore store{dir / "data", defaults};

    std::vector<std::string> ids(const std::vector<MinutesRecord>& records,
                                 const LibraryFilter& filter) {
        std::vector<std::string> out;
        for (const MinutesRecord* r : store.records(records, filter)) out.push_back(r->id);
        return out;
    }
    std::vector<std::string> find(const std::vector<MinutesRecord>& records, const char* query) {
        LibraryFilter f;
        f.query = query;
        return ids(records, f);
    }
};

using Ids = std::vector<std::string>;

}  // namespace

TEST_F(LibraryFilterTest, WorkedSearchableText) {
    MinutesRecord r = record("R");
    r.sourceName = "meeting.m4a";
    r.result.title = "定例";
    r.result.summary = "";
    r.result.keyPoints = {"A"};
    r.result.transcript = {{"田中", "00:01", "こんにちは"}};
    r.result.meta = MinutesMeta{std::nullopt, std::nullopt, std::vector<std::string>{"田中"}};
    r.result.todos = {{"資料作成", std::nullopt, "金曜", std::vector<std::int64_t>{3}, true}};
    const auto tag = store.createTag("重要");
    store.createFolder("Unused");
    store.addTag(tag.id, {"R"});
    EXPECT_EQ(store.searchableText(r, store.metadata("R")),
              "meeting.m4a\n定例\n\nA\n田中\nこんにちは\n田中\n資料作成\n\n金曜\n重要");

    // Sections come after the decisions; tags before folders, each in list order.
    r.result.decisions = {"D"};
    r.result.sections = std::vector<MinutesSection>{{"H", {{"p1", std::nullopt}, {"p2", {}}}}};
    r.result.transcript.clear();
    r.result.meta.reset();
    r.result.todos.clear();
    const auto second = store.createTag("二");
    const auto folder = store.createFolder("F");
    store.setTags({second.id, tag.id, "gone"}, {"R"});
    store.setFolders({folder.id}, {"R"});
    EXPECT_EQ(store.searchableText(r, store.metadata("R")),
              "meeting.m4a\n定例\n\nA\nD\nH\np1\np2\n重要\n二\nF");
}

TEST_F(LibraryFilterTest, ChecksOnTheEntry) {
    const std::vector<MinutesRecord> records = {record("plain"), record("fav"), record("archived"),
                                                record("inA"), record("tagged")};
    const auto a = store.createFolder("A");
    const auto b = store.createFolder("B");
    const auto t = store.createTag("T");
    store.setFavorite(true, {"fav", "archived"});
    store.setArchived(true, {"archived"});
    store.setFolders({a.id}, {"inA"});
    store.addTag(t.id, {"tagged"});

    using F = LibraryFilter&;
    using enum LibraryArchiveFilter;
    const Timestamp day = records[0].createdAt;
    const std::pair<std::function<void(F)>, Ids> cases[] = {
        {[](F) {}, {"plain", "fav", "inA", "tagged"}},
        {[](F f) { f.archive = archived; }, {"archived"}},
        {[](F f) { f.archive = all; }, {"plain", "fav", "archived", "inA", "tagged"}},
        {[](F f) { f.favoritesOnly = true; }, {"fav"}},
        {[](F f) { f.favoritesOnly = true, f.archive = all; }, {"fav", "archived"}},
        {[&](F f) {
             f.folderIDs = {a.id, b.id};
         },
         {"inA"}},
        {[&](F f) { f.tagIDs = {t.id}; }, {"tagged"}},
        {[&](F f) { f.tagIDs = {t.id}, f.folderIDs = {a.id}; }, {}},
        // Both bounds are inclusive.
        {[&](F f) { f.startDate = f.endDate = day; }, {"plain", "fav", "inA", "tagged"}},
        {[&](F f) { f.startDate = day + std::chrono::seconds(1); }, {}},
        {[&](F f) { f.endDate = day - std::chrono::seconds(1); }, {}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        LibraryFilter f = LibraryFilter::active();
        cases[i].first(f);
        EXPECT_EQ(ids(records, f), cases[i].second) << "case " << i;
    }
}

TEST_F(LibraryFilterTest, ParticipantLooksAtAttendeesSpeakersAndAssignees) {
    MinutesRecord attendee = record("attendee");
    attendee.result.meta =
        MinutesMeta{std::nullopt, std::nullopt, std::vector<std::string>{"田中太郎"}};
    MinutesRecord speaker = record("speaker");
    speaker.result.transcript = {{"田中", std::nullopt, "はい"}};
    MinutesRecord assignee = record("assignee");
    assignee.result.todos = {
        {"資料", std::string("田中"), std::nullopt, std::nullopt, std::nullopt}};
    MinutesRecord summary = record("summary");
    summary.result.summary = "田中さんが説明";
    MinutesRecord latin = record("latin");
    latin.result.transcript = {{"Maria", std::nullopt, "hi"}};
    const std::vector<MinutesRecord> records = {attendee, speaker, assignee, summary, latin};

    LibraryFilter f;
    f.participant = "田中";
    EXPECT_EQ(ids(records, f), (Ids{"attendee", "speaker", "assignee"}));
    f.participant = "MARIA";
    EXPECT_EQ(ids(records, f), Ids{"latin"});
}

TEST_F(LibraryFilterTest, QueryCoversTheSearchableText) {
    MinutesRecord minutes = record("minutes");
    minutes.result.title = "Weekly Minutes";
    MinutesRecord accented = record("accented");
    accented.result.summary = "Cafe\u0301 au lait";  // decomposed é
    MinutesRecord tagged = record("tagged");
    MinutesRecord edge = record("edge");
    edge.result.todos = {{"締切", std::nullopt, std::string("金曜"), std::nullopt, std::nullopt}};
    const auto tag = store.createTag("重要");
    store.addTag(tag.id, {"tagged", "edge"});
    store.setFolders({store.createFolder("Archive Box").id}, {"accented"});
    const std::vector<MinutesRecord> records = {minutes, accented, tagged, edge};

    const std::pair<const char*, Ids> cases[] = {
        {"WEEKLY", {"minutes"}},
        {"café", {"accented"}},
        {"cafe au", {}},  // diacritics count
        {"重要", {"tagged", "edge"}},
        {"box", {"accented"}},
        {"金曜\n重要", {"edge"}},  // across the line feed before the tag names
        {"general", {}},           // the template id is not searched
        {"minutes.m4a", {"minutes"}},
        {" ", {"minutes", "accented"}},  // blanks are searched as blanks
    };
    for (const auto& [query, expected] : cases) EXPECT_EQ(find(records, query), expected) << query;
}

TEST_F(LibraryFilterTest, PreparedTextFollowsChangesOfRecordAndLibrary) {
    std::vector<MinutesRecord> records = {record("R")};
    EXPECT_EQ(find(records, "budget"), Ids{});
    records[0].result.title = "Budget";
    EXPECT_EQ(find(records, "budget"), Ids{"R"});

    const auto tag = store.createTag("Plans");
    EXPECT_EQ(find(records, "plans"), Ids{});
    store.addTag(tag.id, {"R"});
    EXPECT_EQ(find(records, "plans"), Ids{"R"});
    store.updateTag(tag.id, "Goals", std::nullopt);
    EXPECT_EQ(find(records, "goals"), Ids{"R"});
    store.deleteTag(tag.id);
    EXPECT_EQ(find(records, "goals"), Ids{});
}

TEST_F(LibraryFilterTest, LongTextsAreSearchedEverywhere) {
    // Enough text to fill many signature bits; every line must still be found.
    MinutesRecord r = record("R");
    for (int i = 0; i < 3000; ++i) {
        r.result.transcript.push_back({"話者" + std::to_string(i % 7), std::nullopt,
                                       "発言" + std::to_string(i * 7919) + "です"});
    }
    const std::vector<MinutesRecord> records = {r};
    for (int i : {0, 1234, 2999}) {
        const std::string q = std::to_string(i * 7919) + "です";
        EXPECT_EQ(find(records, q.c_str()), Ids{"R"}) << q;
    }
    EXPECT_EQ(find(records, "発言です"), Ids{});
    EXPECT_EQ(find(records, "話者7"), Ids{});
}

TEST_F(LibraryFilterTest, MatchesRunAcrossTheTranscriptsJoins) {
    // The transcript is searched where it lies, beside a folded copy of the rest; a match may
    // run from one into the other, and a transcript that folding changes is folded as well.
    const std::vector<std::vector<TranscriptLine>> transcripts = {
        {},
        {{"田", std::nullopt, "x"}},
        {{"話者", "00:01", "本文です"}, {"ＢＯＢ", std::nullopt, "Hello Ünï"}},
    };
    const char* queries[] = {"要約\n田\nx\n出席", "要約\n話者", "ünï\n出席者", "x\n出席者",
                             "bob\nhello",        "\nx\n",     "要約\n出席者"};
    int found = 0;
    for (std::size_t i = 0; i < transcripts.size(); ++i) {
        MinutesRecord r = record("R" + std::to_string(i));
        r.result.summary = "要約";
        r.result.transcript = transcripts[i];
        r.result.meta = MinutesMeta{std::nullopt, std::nullopt, std::vector<std::string>{"出席者"}};
        const std::string whole = LibrarySearchText::fold(store.searchableText(r, {}));
        for (const char* q : queries) {
            const bool expected = LibrarySearchText::occursIn(whole, LibrarySearchText::fold(q));
            found += expected;
            EXPECT_EQ(find({r}, q) == Ids{r.id}, expected) << i << ": " << q;
        }
    }
    EXPECT_EQ(found, 6);
}

TEST(LibrarySearchText, FoldingMatchesLowerCaseComposedForm) {
    const char* samples[] = {"会議の資料を共有します。",
                             "ガギ and カ\u3099",
                             "ＡＢＣ　全角",
                             "ΟΔΟΣ Σίσυφος",
                             "Cafe\u0301 CAFÉ İ",
                             "MiXeD ー〜「」\xF0\x9F\x98\x80"};
    for (const char* s : samples) EXPECT_EQ(LibrarySearchText::fold(s), text::nfc(text::lower(s)));
}

#include <QSignalSpy>

#include <functional>

#include "UiFixture.h"
#include "ui/main/LocalCalendar.h"
#include "ui/main/MainViewModel.h"

namespace {

Timestamp at(const char* iso) {
    return *iso8601::parse(iso);
}

class MainViewModelTest : public StoresFixture {
protected:
    MainViewModel model{store, library, defaults, dialogs};
};

TEST(LocalCalendar, DayBoundsAndTheMonthBefore) {
    struct Case {
        const char* tz;
        const char* when;
        const char* dayStart;
        const char* dayEnd;
        const char* monthBefore;
    };
    const Case cases[] = {
        // The earlier month lacks the day: its last day, not a day of the month after.
        {"Asia/Tokyo", "2026-03-31T08:00:00+09:00", "2026-03-31T00:00:00+09:00",
         "2026-03-31T23:59:59+09:00", "2026-02-28T08:00:00+09:00"},
        {"Asia/Tokyo", "2028-03-30T08:00:00+09:00", "2028-03-30T00:00:00+09:00",
         "2028-03-30T23:59:59+09:00", "2028-02-29T08:00:00+09:00"},
        {"Asia/Tokyo", "2026-01-15T12:00:00+09:00", "2026-01-15T00:00:00+09:00",
         "2026-01-15T23:59:59+09:00", "2025-12-15T12:00:00+09:00"},
        // A 23-hour day when the clocks go forward: its end is still 23:59:59 local time.
        {"America/New_York", "2026-03-08T12:00:00-04:00", "2026-03-08T00:00:00-05:00",
         "2026-03-08T23:59:59-04:00", "2026-02-08T12:00:00-05:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tz) + " " + c.when);
        testsupport::ScopedTimeZone zone(c.tz);
        EXPECT_EQ(localcalendar::startOfDay(at(c.when)), at(c.dayStart));
        EXPECT_EQ(localcalendar::endOfDay(at(c.when)), at(c.dayEnd));
        EXPECT_EQ(localcalendar::monthBefore(at(c.when)), at(c.monthBefore));
    }
}

// The filter is the browsing state as typed and chosen. Dates count only with the switch, start
// a month back and span whole local days; a start after the end is left as it is.
TEST_F(MainViewModelTest, FilterIsBuiltFromTheBrowsingState) {
    testsupport::ScopedTimeZone zone("Asia/Tokyo");
    const Timestamp now = at("2026-05-20T10:30:00+09:00");
    MainViewModel m(store, library, defaults, dialogs, [now] { return now; });
    EXPECT_EQ(m.startDate(), at("2026-04-20T10:30:00+09:00"));
    EXPECT_EQ(m.endDate(), now);
    LibraryFilter f = LibraryFilter::active();
    m.setStartDate(at("2026-05-01T15:20:00+09:00"));
    m.setEndDate(at("2026-05-01T09:00:00+09:00"));
    EXPECT_EQ(m.filter(), f) << "dates without the switch";

    m.setUseDateRange(true);
    f.startDate = at("2026-05-01T00:00:00+09:00");
    f.endDate = at("2026-05-01T23:59:59+09:00");
    EXPECT_EQ(m.filter(), f) << "a one-day range";
    m.setStartDate(at("2026-05-03T10:00:00+09:00"));
    f.startDate = at("2026-05-03T00:00:00+09:00");
    EXPECT_EQ(m.filter(), f) << "a start after the end";

    m.setQuery("  予算 ");
    m.setParticipant("伊藤");
    m.setFavoritesOnly(true);
    m.setArchivedOnly(true);
    m.setSelectedFolderIDs({"F1", "F2"});
    m.setSelectedTagIDs({"T1"});
    f.query = "  予算 ";
    f.participant = "伊藤";
    f.favoritesOnly = true;
    f.archive = LibraryArchiveFilter::archived;
    f.folderIDs = {"F1", "F2"};
    f.tagIDs = {"T1"};
    EXPECT_EQ(m.filter(), f) << "text as typed, switches, folders and tags";

    // Switching off drops the limit; the dates keep their values for the next time.
    m.setUseDateRange(false);
    EXPECT_EQ(m.filter().startDate, std::nullopt);
    EXPECT_EQ(m.startDate(), at("2026-05-03T10:00:00+09:00"));
}

TEST_F(MainViewModelTest, SelectAllMarksOnlyTheListedRecords) {
    const std::string a = addRecord("予算会議").id;
    const std::string b = addRecord("採用面接").id;
    const std::string c = addRecord("週次定例").id;

    EXPECT_FALSE(model.allFilteredSelected());
    model.setBulkSelection({a});
    model.setQuery("採用");
    model.toggleSelectAll();
    EXPECT_EQ(model.bulkSelection(), MainViewModel::IDs{b}) << "marks outside the list dropped";
    EXPECT_TRUE(model.allFilteredSelected());
    model.toggleSelectAll();
    EXPECT_TRUE(model.bulkSelection().empty());

    model.setQuery("");
    model.toggleSelectAll();
    EXPECT_EQ(model.bulkSelection(), (MainViewModel::IDs{a, b, c}));

    // An empty list is never "all selected", and select-all clears earlier marks.
    model.setQuery("存在しない言葉");
    EXPECT_TRUE(model.filtered().empty());
    EXPECT_FALSE(model.allFilteredSelected());
    model.toggleSelectAll();
    EXPECT_TRUE(model.bulkSelection().empty());
}

TEST_F(MainViewModelTest, FolderAndTagLabelsAndDeletedFoldersAndTagsLeaveTheFilter) {
    const auto design = library.createFolder("デザイン").id;
    const auto sales = library.createFolder("営業").id;
    const auto urgent = library.createTag("至急").id;
    const auto later = library.createTag("後で").id;
    struct Case {
        MainViewModel::IDs folders, tags;
        const char* folderLabel;
        const char* tagLabel;
    };
    const Case cases[] = {
        {{}, {}, "フォルダ", "タグ"},
        {{design}, {later}, "デザイン", "後で"},
        {{design, sales}, {urgent, later}, "フォルダ2件", "タグ2件"},
        // Ids that name nothing are not counted.
        {{sales, "GONE"}, {"GONE"}, "営業", "タグ"},
        {{"GONE", "ALSO-GONE"}, {}, "フォルダ", "タグ"},
    };
    for (const Case& c : cases) {
        model.setSelectedFolderIDs(c.folders);
        model.setSelectedTagIDs(c.tags);
        EXPECT_EQ(model.folderFilterLabel(), QString::fromUtf8(c.folderLabel));
        EXPECT_EQ(model.tagFilterLabel(), QString::fromUtf8(c.tagLabel));
    }

    model.setSelectedFolderIDs({design, sales});
    model.setSelectedTagIDs({urgent});
    QSignalSpy filters(&model, &MainViewModel::filtersChanged);
    library.deleteFolder(design);
    EXPECT_EQ(model.selectedFolderIDs(), MainViewModel::IDs{sales});
    EXPECT_EQ(model.selectedTagIDs(), MainViewModel::IDs{urgent}) << "the tag list did not change";
    library.deleteTag(urgent);
    EXPECT_TRUE(model.selectedTagIDs().empty());
    EXPECT_GE(filters.count(), 2);

    // A renamed folder keeps its place in the filter under its new name.
    library.renameFolder(sales, "営業部");
    EXPECT_EQ(model.folderFilterLabel(), "営業部");
}

TEST_F(MainViewModelTest, DeletesAskThenRemoveTheRecordsEverywhere) {
    using IDs = MainViewModel::IDs;
    const std::string a = addRecord("予算会議").id;
    const MinutesRecord doomed = addRecord("採用面接");
    const std::string b = addRecord("週次定例").id;
    const std::string c = addRecord("月次報告").id;
    const MinutesRecord elsewhere = addRecord("臨時会議");
    library.setFavorite(true, {a, doomed.id, b, c});
    model.setBulkSelection({doomed.id, a, b, elsewhere.id});

    // One record: declined first, then confirmed while another record is shown.
    dialogs.answer = false;
    bool openDuringQuestion = false;
    dialogs.onConfirm = [&] { openDuringQuestion = model.confirmDelete() == doomed; };
    model.setSelectedID(a);
    model.requestDelete(doomed);
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_TRUE(openDuringQuestion);
    EXPECT_EQ(dialogs.asked[0].title, "「採用面接」を削除しますか?");
    EXPECT_EQ(dialogs.asked[0].message, "Markdownファイルも削除されます。");
    EXPECT_EQ(dialogs.asked[0].button, "削除");
    EXPECT_EQ(model.confirmDelete(), std::nullopt);
    EXPECT_EQ(store.records().size(), 5u);

    dialogs.answer = true;
    const auto md = store.mdURL(doomed);
    ASSERT_TRUE(std::filesystem::exists(md));
    model.requestDelete(doomed);
    EXPECT_EQ(store.records().size(), 4u);
    EXPECT_FALSE(std::filesystem::exists(md));
    EXPECT_FALSE(library.metadata(doomed.id).isFavorite);
    EXPECT_EQ(model.selectedID(), a) << "another record stays shown";
    EXPECT_EQ(model.bulkSelection(), (IDs{a, b, elsewhere.id})) << "no mark on a deleted record";

    // Nor on one deleted from another window; a new record gets none.
    QSignalSpy marks(&model, &MainViewModel::bulkSelectionChanged);
    store.remove(elsewhere);
    addRecord("新しい会議");
    EXPECT_EQ(model.bulkSelection(), (IDs{a, b}));
    EXPECT_EQ(marks.count(), 1);

    // The marked ones, hidden ones too.
    dialogs.onConfirm = nullptr;
    model.setQuery("予算");
    dialogs.answer = false;
    model.requestBulkDelete();
    ASSERT_EQ(dialogs.asked.size(), 3u);
    EXPECT_EQ(dialogs.asked[2].title, "選択した2件を削除しますか?");
    EXPECT_FALSE(model.confirmBulkDelete());
    EXPECT_EQ(store.records().size(), 4u);

    dialogs.answer = true;
    model.requestBulkDelete();
    ASSERT_EQ(store.records().size(), 2u);
    EXPECT_EQ(store.records()[1].id, c);
    EXPECT_FALSE(library.metadata(a).isFavorite);
    EXPECT_FALSE(library.metadata(b).isFavorite);
    EXPECT_TRUE(library.metadata(c).isFavorite);
    EXPECT_EQ(model.selectedID(), std::nullopt);
    EXPECT_TRUE(model.bulkSelection().empty());
}

}  // namespace

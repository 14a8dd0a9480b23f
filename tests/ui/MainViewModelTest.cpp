#include <QSignalSpy>

#include <functional>

#include "UiFixture.h"
#include "ui/main/LocalCalendar.h"
#include "ui/main/MainViewModel.h"

namespace {

using namespace std::chrono_literals;

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
        {"Asia/Tokyo", "2026-05-20T10:30:00+09:00", "2026-05-20T00:00:00+09:00",
         "2026-05-20T23:59:59+09:00", "2026-04-20T10:30:00+09:00"},
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

TEST_F(MainViewModelTest, FilterIsBuiltFromTheBrowsingState) {
    testsupport::ScopedTimeZone zone("Asia/Tokyo");
    struct Case {
        const char* name;
        std::function<void(MainViewModel&)> change;
        std::function<void(LibraryFilter&)> expected;
    };
    const Case cases[] = {
        {"untouched", [](MainViewModel&) {}, [](LibraryFilter&) {}},
        {"text fields as typed",
         [](MainViewModel& m) {
             m.setQuery("  予算 ");
             m.setParticipant("伊藤");
         },
         [](LibraryFilter& f) {
             f.query = "  予算 ";
             f.participant = "伊藤";
         }},
        {"favourites, folders and tags",
         [](MainViewModel& m) {
             m.setFavoritesOnly(true);
             m.setSelectedFolderIDs({"F1", "F2"});
             m.setSelectedTagIDs({"T1"});
         },
         [](LibraryFilter& f) {
             f.favoritesOnly = true;
             f.folderIDs = {"F1", "F2"};
             f.tagIDs = {"T1"};
         }},
        {"archived only", [](MainViewModel& m) { m.setArchivedOnly(true); },
         [](LibraryFilter& f) { f.archive = LibraryArchiveFilter::archived; }},
        {"dates without the switch are ignored",
         [](MainViewModel& m) {
             m.setStartDate(at("2026-05-01T09:00:00+09:00"));
             m.setEndDate(at("2026-05-02T09:00:00+09:00"));
         },
         [](LibraryFilter&) {}},
        {"a one-day range",
         [](MainViewModel& m) {
             m.setUseDateRange(true);
             m.setStartDate(at("2026-05-01T15:20:00+09:00"));
             m.setEndDate(at("2026-05-01T09:00:00+09:00"));
         },
         [](LibraryFilter& f) {
             f.startDate = at("2026-05-01T00:00:00+09:00");
             f.endDate = at("2026-05-01T23:59:59+09:00");
         }},
        {"a start after the end is not corrected",
         [](MainViewModel& m) {
             m.setUseDateRange(true);
             m.setStartDate(at("2026-05-03T10:00:00+09:00"));
             m.setEndDate(at("2026-05-01T10:00:00+09:00"));
         },
         [](LibraryFilter& f) {
             f.startDate = at("2026-05-03T00:00:00+09:00");
             f.endDate = at("2026-05-01T23:59:59+09:00");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MainViewModel m(store, library, defaults, dialogs);
        c.change(m);
        LibraryFilter expected = LibraryFilter::active();
        c.expected(expected);
        EXPECT_EQ(m.filter(), expected);
    }
}

TEST_F(MainViewModelTest, DateRangeStartsAMonthBackAndSpansWholeDays) {
    testsupport::ScopedTimeZone zone("Asia/Tokyo");
    const Timestamp now = at("2026-05-20T10:30:00+09:00");
    MainViewModel m(store, library, defaults, dialogs, [now] { return now; });
    EXPECT_EQ(m.startDate(), at("2026-04-20T10:30:00+09:00"));
    EXPECT_EQ(m.endDate(), now);

    m.setUseDateRange(true);
    m.setStartDate(at("2026-05-01T12:00:00+09:00"));
    m.setEndDate(at("2026-05-02T01:00:00+09:00"));
    const LibraryFilter f = m.filter();
    EXPECT_EQ(*f.endDate - *f.startDate, 48h - 1s);

    // Switching off drops the limit; the dates keep their values for the next time.
    m.setUseDateRange(false);
    EXPECT_EQ(m.filter().startDate, std::nullopt);
    EXPECT_EQ(m.startDate(), at("2026-05-01T12:00:00+09:00"));
}

TEST_F(MainViewModelTest, SelectionIsKeptByIdAcrossARefilter) {
    addRecord("予算会議");
    const std::string hidden = addRecord("採用面接").id;
    addRecord("週次定例");
    EXPECT_EQ(titles(model.filtered()),
              (std::vector<std::string>{"週次定例", "採用面接", "予算会議"}));

    model.setSelectedID(hidden);
    model.setBulkSelection({hidden});
    ASSERT_NE(model.selected(), nullptr);
    EXPECT_EQ(model.selected()->result.title, "採用面接");

    QSignalSpy list(&model, &MainViewModel::listChanged);
    model.setQuery("予算");
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(titles(model.filtered()), std::vector<std::string>{"予算会議"});
    EXPECT_EQ(model.selected(), nullptr) << "a hidden record is not shown";
    EXPECT_EQ(model.selectedID(), hidden) << "but stays selected";
    EXPECT_EQ(model.bulkSelection(), MainViewModel::IDs{hidden});

    model.setQuery("");
    ASSERT_NE(model.selected(), nullptr);
    EXPECT_EQ(model.selected()->id, hidden);
}

TEST_F(MainViewModelTest, SelectAllAndRowTargets) {
    const std::string a = addRecord("予算会議").id;
    const std::string b = addRecord("採用面接").id;
    const std::string c = addRecord("週次定例").id;

    EXPECT_FALSE(model.allFilteredSelected());
    model.setBulkSelection({a});
    EXPECT_EQ(model.targets(a), MainViewModel::IDs{a});
    EXPECT_EQ(model.targets(b), MainViewModel::IDs{b}) << "an unmarked row acts alone";

    model.setQuery("採用");
    model.toggleSelectAll();
    EXPECT_EQ(model.bulkSelection(), MainViewModel::IDs{b}) << "marks outside the list dropped";
    EXPECT_TRUE(model.allFilteredSelected());
    model.toggleSelectAll();
    EXPECT_TRUE(model.bulkSelection().empty());

    model.setQuery("");
    model.toggleSelectAll();
    EXPECT_EQ(model.bulkSelection(), (MainViewModel::IDs{a, b, c}));
    EXPECT_EQ(model.targets(c), (MainViewModel::IDs{a, b, c}));

    // An empty list is never "all selected", and select-all clears earlier marks.
    model.setQuery("存在しない言葉");
    EXPECT_TRUE(model.filtered().empty());
    EXPECT_FALSE(model.allFilteredSelected());
    model.toggleSelectAll();
    EXPECT_TRUE(model.bulkSelection().empty());
}

TEST_F(MainViewModelTest, FolderAndTagLabels) {
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
}

TEST_F(MainViewModelTest, DeletedFoldersAndTagsLeaveTheFilter) {
    const auto design = library.createFolder("デザイン").id;
    const auto sales = library.createFolder("営業").id;
    const auto urgent = library.createTag("至急").id;
    MainViewModel m(store, library, defaults, dialogs);
    m.setSelectedFolderIDs({design, sales});
    m.setSelectedTagIDs({urgent});

    QSignalSpy filters(&m, &MainViewModel::filtersChanged);
    library.deleteFolder(design);
    EXPECT_EQ(m.selectedFolderIDs(), MainViewModel::IDs{sales});
    EXPECT_EQ(m.folderFilterLabel(), "営業");
    EXPECT_EQ(m.selectedTagIDs(), MainViewModel::IDs{urgent}) << "the tag list did not change";
    library.deleteTag(urgent);
    EXPECT_TRUE(m.selectedTagIDs().empty());
    EXPECT_EQ(m.tagFilterLabel(), "タグ");
    EXPECT_GE(filters.count(), 2);

    // A renamed folder keeps its place in the filter under its new name.
    library.renameFolder(sales, "営業部");
    EXPECT_EQ(m.folderFilterLabel(), "営業部");
}

TEST_F(MainViewModelTest, SingleDeleteAsksThenRemovesTheRecordEverywhere) {
    const MinutesRecord kept = addRecord("予算会議");
    const MinutesRecord doomed = addRecord("採用面接");
    library.setFavorite(true, {doomed.id, kept.id});
    model.setBulkSelection({doomed.id, kept.id});

    // Declined first, then confirmed while another record is shown.
    dialogs.answer = false;
    bool openDuringQuestion = false;
    dialogs.onConfirm = [&] { openDuringQuestion = model.confirmDelete() == doomed; };
    model.setSelectedID(kept.id);
    model.requestDelete(doomed);
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_TRUE(openDuringQuestion);
    EXPECT_EQ(dialogs.asked[0].title, "「採用面接」を削除しますか?");
    EXPECT_EQ(dialogs.asked[0].message, "Markdownファイルも削除されます。");
    EXPECT_EQ(dialogs.asked[0].button, "削除");
    EXPECT_EQ(model.confirmDelete(), std::nullopt);
    EXPECT_EQ(store.records().size(), 2u);

    dialogs.answer = true;
    const auto md = store.mdURL(doomed);
    ASSERT_TRUE(std::filesystem::exists(md));
    model.requestDelete(doomed);
    EXPECT_EQ(store.records().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(md));
    EXPECT_FALSE(library.metadata(doomed.id).isFavorite);
    EXPECT_TRUE(library.metadata(kept.id).isFavorite);
    EXPECT_EQ(model.selectedID(), kept.id) << "another record stays shown";
    EXPECT_EQ(model.bulkSelection(), MainViewModel::IDs{kept.id}) << "no mark on a deleted record";

    // Deleting the shown record empties the detail column.
    model.deleteRecord(kept);
    EXPECT_EQ(model.selectedID(), std::nullopt);
    EXPECT_TRUE(model.bulkSelection().empty());
}

TEST_F(MainViewModelTest, BulkDeleteCountsAndDeletesHiddenRecordsToo) {
    const std::string a = addRecord("予算会議").id;
    const std::string b = addRecord("採用面接").id;
    const std::string c = addRecord("週次定例").id;
    library.setFavorite(true, {a, b, c});
    model.toggleSelectAll();
    model.setBulkSelection({a, b});
    model.setSelectedID(b);
    model.setQuery("予算");  // b is hidden now, still marked

    dialogs.answer = false;
    model.requestBulkDelete();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].title, "選択した2件を削除しますか?");
    EXPECT_EQ(dialogs.asked[0].message, "Markdownファイルも削除されます。");
    EXPECT_FALSE(model.confirmBulkDelete());
    EXPECT_EQ(store.records().size(), 3u);

    dialogs.answer = true;
    model.requestBulkDelete();
    ASSERT_EQ(store.records().size(), 1u);
    EXPECT_EQ(store.records()[0].id, c);
    EXPECT_FALSE(library.metadata(a).isFavorite);
    EXPECT_FALSE(library.metadata(b).isFavorite);
    EXPECT_TRUE(library.metadata(c).isFavorite);
    EXPECT_EQ(model.selectedID(), std::nullopt);
    EXPECT_TRUE(model.bulkSelection().empty());
}

TEST_F(MainViewModelTest, MarksOnRecordsDeletedElsewhereAreDropped) {
    const MinutesRecord a = addRecord("予算会議");
    const std::string b = addRecord("採用面接").id;
    model.setBulkSelection({a.id, b});
    QSignalSpy marks(&model, &MainViewModel::bulkSelectionChanged);
    store.remove(a);  // e.g. from another window
    EXPECT_EQ(model.bulkSelection(), MainViewModel::IDs{b});
    EXPECT_EQ(marks.count(), 1);
    EXPECT_EQ(MainViewModel::bulkDeleteTitle(model.bulkSelection().size()),
              "選択した1件を削除しますか?");
    addRecord("週次定例");  // a new record adds no mark
    EXPECT_EQ(model.bulkSelection(), MainViewModel::IDs{b});
}

TEST_F(MainViewModelTest, OnboardingReturnsUntilCompleted) {
    struct Step {
        const char* what;
        std::function<void()> act;
        bool shown;
        std::optional<bool> stored;
    };
    const Step steps[] = {
        {"created", [] {}, false, std::nullopt},
        {"first shown", [&] { model.appeared(); }, true, std::nullopt},
        {"closed another way", [&] { model.setShowOnboarding(false); }, false, std::nullopt},
        {"shown again", [&] { model.appeared(); }, true, std::nullopt},
        {"completed", [&] { model.completeOnboarding(); }, false, true},
        {"shown after completion", [&] { model.appeared(); }, false, true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        EXPECT_EQ(model.showOnboarding(), s.shown);
        EXPECT_EQ(defaults.boolValue(MainViewModel::kOnboardingKey), s.stored);
    }
}

}  // namespace

// The sidebar as widgets over real stores: check circles, the kept selection, the library's
// error line, and screenshots kept as artifacts.
#include <QApplication>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include "desktop/DateLocale.h"
#include "library/CustomTemplateStore.h"
#include "library/TestFileSystem.h"
#include "ui/Screenshots.h"
#include "ui/UiFixture.h"
#include "ui/main/MainView.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/detail/DetailViewModel.h"
#include "ui/main/sidebar/BulkBar.h"
#include "ui/main/sidebar/FilterPopup.h"
#include "ui/main/sidebar/RecordListModel.h"
#include "ui/main/sidebar/RecordListView.h"
#include "ui/main/sidebar/RecordRowDelegate.h"
#include "ui/main/sidebar/SidebarButton.h"
#include "ui/main/sidebar/SidebarSearchField.h"
#include "ui/main/sidebar/SidebarView.h"
#include "ui/settings/GeneralSettingsModel.h"

namespace {

using uitest::shoot;

class SidebarViewTest : public WindowFixture {
protected:
    MainViewModel browser{store, library, defaults, dialogs};

    void SetUp() override {
        WindowFixture::SetUp();
        defaults.set(MainViewModel::kOnboardingKey, true);
    }

    std::unique_ptr<SidebarView> sidebar() {
        auto view = std::make_unique<SidebarView>(ctx, browser);
        view->resize(280, 520);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        return view;
    }
    static void click(RecordListView& list, int row, bool onCheck) {
        const QRect r = list.visualRect(list.model()->index(row, 0));
        const QPoint at = onCheck ? list.checkRectOf(row).center() : r.center() + QPoint(40, 0);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
    }
};

TEST_F(SidebarViewTest, CheckCircleMarksWithoutMovingTheSelectionWhichSurvivesAFilter) {
    const std::string a = addRecord("予算会議").id;
    const std::string b = addRecord("採用面接").id;
    addRecord("週次定例");
    auto view = sidebar();
    RecordListView& list = *view->recordList();

    click(list, 1, false);
    ASSERT_EQ(browser.selectedID(), b);
    click(list, 2, true);
    EXPECT_EQ(browser.bulkSelection(), MainViewModel::IDs{a});
    EXPECT_EQ(browser.selectedID(), b) << "the check circle leaves the shown record alone";
    EXPECT_TRUE(view->bulkBar()->isVisible());
    click(list, 2, true);
    EXPECT_TRUE(browser.bulkSelection().empty());
    EXPECT_FALSE(view->bulkBar()->isVisible());

    // Typing hides the shown record without forgetting it; clearing brings its row back.
    view->searchField()->edit()->setFocus();
    for (const QString& ch : {QStringLiteral("予"), QStringLiteral("算")}) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, ch);
        QCoreApplication::sendEvent(view->searchField()->edit(), &key);
    }
    EXPECT_EQ(browser.query(), "予算");
    EXPECT_EQ(list.model()->rowCount(), 1);
    EXPECT_TRUE(list.selectionModel()->selectedIndexes().isEmpty());
    EXPECT_EQ(browser.selectedID(), b);
    QTest::mouseClick(view->searchField()->clearButton(), Qt::LeftButton);
    EXPECT_EQ(browser.query(), "");
    ASSERT_EQ(list.selectionModel()->selectedIndexes().size(), 1);
    EXPECT_EQ(list.selectionModel()->selectedIndexes().front().row(), 1);

    // Ctrl+Shift+A marks every listed record, also from the search field, and again clears
    // them.
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    view->searchField()->edit()->setFocus();
    QTest::keyClick(view.get(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(browser.bulkSelection().size(), 3u);
    QTest::keyClick(view.get(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(browser.bulkSelection().empty());
}

TEST_F(SidebarViewTest, LibraryChangesKeepTheScrollAndAFilterStartsAtTheTop) {
    std::vector<std::string> ids;
    for (int i = 0; i < 40; ++i) ids.push_back(addRecord("会議 " + std::to_string(i)).id);
    auto view = sidebar();
    QScrollBar& bar = *view->recordList()->verticalScrollBar();
    browser.setSelectedID(ids[20]);
    bar.setValue(bar.maximum());
    const int bottom = bar.value();
    library.setColor("red", {ids[1]});
    addRecord("新しい会議");
    EXPECT_EQ(bar.value(), bottom);
    browser.setQuery("会議");
    EXPECT_EQ(bar.value(), 0);
    browser.setQuery("");
    browser.setArchivedOnly(true);
    EXPECT_EQ(view->rows()->emptyNote(), "アーカイブされた議事録はありません");
}

// An empty list says why: nothing stored yet, nothing archived, everything archived, or the
// filters.
TEST_F(SidebarViewTest, AnEmptyListSaysWhyItIsEmpty) {
    auto view = sidebar();
    const RecordListModel& rows = *view->rows();
    struct Case {
        const char* name;
        std::function<void()> arrange;
        bool archivedOnly;
        std::string query;
        std::string note;
    };
    std::string first;
    const std::vector<Case> cases = {
        {"nothing stored", [] {}, false, "", "まだ議事録がありません"},
        {"nothing archived", [] {}, true, "", "アーカイブされた議事録はありません"},
        {"one active", [&] { first = addRecord("予算会議").id; }, false, "", ""},
        {"none archived yet", [] {}, true, "", "アーカイブされた議事録はありません"},
        {"all archived", [&] { library.setArchived(true, {first}); }, false, "",
         "すべての議事録がアーカイブにあります"},
        {"all archived, none found", [] {}, false, "採用", "条件に一致する議事録はありません"},
        {"in the archive", [] {}, true, "", ""},
        {"one restored", [&] { library.setArchived(false, {first}); }, false, "", ""},
    };
    for (const Case& c : cases) {
        c.arrange();
        browser.setArchivedOnly(c.archivedOnly);
        browser.setQuery(c.query);
        EXPECT_EQ(rows.emptyNote().toStdString(), c.note) << c.name;
        if (std::string(c.name) == "all archived")
            shoot(*view, QStringLiteral("sidebar-all-archived"));
    }
}

// A row names its record's template as the settings hold it now, while it is on screen:
// renamed, then removed in the general tab. Other settings leave the rows alone.
TEST_F(SidebarViewTest, ARowFollowsItsTemplateInTheSettings) {
    CustomTemplateStore::save({{"custom-1", "営業報告", "d", "i"}}, defaults);
    MinutesResult r;
    r.title = "商談";
    r.summary = "要約";
    store.add(r, "custom-1", "a.m4a");
    QCoreApplication::processEvents();
    const std::string id = store.records().front().id;
    addRecord("週次定例");
    auto view = sidebar();
    RecordListModel& rows = *view->rows();
    GeneralSettingsModel general(defaults, dialogs,
                                 LoginItem(home.home() / "autostart.desktop", "/bin/true"),
                                 home.home() / "data", nullptr, TAVRO_DOCUMENT_TEXT_PROGRAM);
    QSignalSpy redrawn(&rows, &QAbstractItemModel::dataChanged);
    const struct {
        const char* name;
        std::function<void()> change;
        const char* label;
        int redraws;
    } steps[] = {
        {"as listed", [] {}, "営業報告", 0},
        {"another setting", [&] { defaults.set("hotkeyInterval", 0.4); }, "営業報告", 0},
        {"renamed",
         [&] {
             CustomTemplateStore::save({{"custom-1", "商談メモ", "d", "i"}}, defaults);
         },
         "商談メモ", 1},
        {"removed in the settings", [&] { general.deleteTemplate("custom-1"); }, "議事録", 2},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        EXPECT_EQ(rows.index(rows.rowOf(id)).data(RecordListModel::TemplateNameRole).toString(),
                  QString::fromUtf8(step.label));
        EXPECT_EQ(redrawn.size(), step.redraws);
    }
    EXPECT_EQ(rows.rowCount(), 2);
    shoot(*view, QStringLiteral("sidebar-template-removed"));
    const QPalette light = QApplication::palette();
    QApplication::setPalette(uitest::darkPalette());
    shoot(*view, QStringLiteral("sidebar-template-removed-dark"));
    QApplication::setPalette(light);
}

TEST_F(SidebarViewTest, Screenshots) {
    EXPECT_EQ(RecordListModel(browser, library, defaults).emptyNote(), "まだ議事録がありません");
    const auto sales = library.createFolder("R&D").id;
    const auto design = library.createFolder("デザイン").id;
    const std::string plain = addRecord("4月度 予算会議").id;
    const std::string longTitle = "🎉 新製品キックオフ 🚀 とても長いタイトルが一行に収まらない場合";
    const std::string emoji = addRecord(longTitle).id;
    const std::string agent = addRecord("採用面接（エンジニア）").id;
    const std::string checked = addRecord("週次定例ミーティング").id;
    const std::string colored = addRecord("デザインレビュー 予算の確認").id;
    library.setColor("orange", {colored});
    library.setColor("blue", {agent});
    library.setColor("green", {checked});
    library.setFavorite(true, {colored, agent, plain});
    library.setFolders({sales}, {colored, plain});
    library.setFolders({design}, {agent});

    auto view = sidebar();
    view->rows()->setRunningAgents({agent});
    browser.setSelectedID(colored);
    browser.setBulkSelection({checked});
    shoot(*view, QStringLiteral("sidebar-five-rows"));
    RecordListView& list = *view->recordList();
    // An elided title is shown whole on hover; names in menus and buttons mark no shortcut.
    const QPoint at = list.visualRect(view->rows()->index(view->rows()->rowOf(emoji))).center();
    QHelpEvent hover(QEvent::ToolTip, at, list.viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(list.viewport(), &hover);
    EXPECT_TRUE(QToolTip::text().contains(QString::fromStdString(longTitle)));
    QStringList items;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        for (QMenu* m : menu->findChildren<QMenu*>() + QList<QMenu*>{menu})
            for (QAction* a : m->actions()) items << a->text();
        menu->close();
    });
    emit list.menuRequested(colored, list.mapToGlobal(QPoint(20, 20)));
    EXPECT_TRUE(items.contains("✓ R&&D")) << items.join('|').toStdString();
    const QModelIndex agentRow = view->rows()->index(view->rows()->rowOf(agent));
    EXPECT_TRUE(agentRow.data(RecordListModel::AgentRunningRole).toBool());

    browser.setBulkSelection({checked, colored});
    EXPECT_EQ(view->bulkBar()->countLabel()->text(), "2件を選択中");
    shoot(*view, QStringLiteral("sidebar-bulk-bar"));

    browser.setBulkSelection({});
    view->searchField()->edit()->setText(QStringLiteral("予算"));
    browser.setQuery("予算");
    view->favoritesButton()->click();
    browser.setSelectedFolderIDs({sales});
    EXPECT_TRUE(view->folderButton()->shortcut().isEmpty()) << "no Alt+D";
    browser.setSelectedFolderIDs({sales, design});
    EXPECT_EQ(view->folderButton()->text(), "フォルダ2件");
    EXPECT_EQ(view->recordList()->model()->rowCount(), 2);
    shoot(*view, QStringLiteral("sidebar-filtered"));

    browser.setUseDateRange(true);
    browser.setParticipant("伊藤");
    view->openFilterPopup();
    auto* popup = view->findChild<FilterPopup*>();
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->startDate()->isVisible());
    shoot(*popup, QStringLiteral("sidebar-filter-popup"));
    popup->close();

    browser.setQuery("存在しない会議");
    EXPECT_EQ(view->rows()->emptyNote(), "条件に一致する議事録はありません");
    shoot(*view, QStringLiteral("sidebar-empty-search"));
}

TEST_F(SidebarViewTest, AnUnsavedLibraryChangeShowsOneLineUntilTheNextSave) {
    TestFileSystem files;
    LibraryStore failing{home.home() / "other", defaults, files};
    WindowServices other{store, failing, defaults, dialogs};
    const std::string id = addRecord("予算会議").id;
    MainView view(other.ctx);
    view.show();
    EXPECT_FALSE(view.libraryErrorLine()->isVisible());

    files.failWrites = true;
    EXPECT_THROW(failing.setFavorite(true, {id}), std::runtime_error);
    EXPECT_TRUE(view.libraryErrorLine()->isVisible());
    EXPECT_EQ(view.libraryErrorLabel()->text(),
              "ライブラリの変更を保存できませんでした: disk full");
    shoot(view, QStringLiteral("main-library-error"));

    files.failWrites = false;
    failing.setFavorite(true, {id});
    EXPECT_FALSE(view.libraryErrorLine()->isVisible());
}

// The list and the detail write dates as the system's locale does, and in Japanese, as the rest
// of the window, where it names no language (the test session's own is C.UTF-8).
TEST(RecordDates, JapaneseWhereTheLocaleNamesNoLanguage) {
    const QDateTime when(QDate(2026, 12, 6), QTime(16, 0));  // TZ=UTC
    const Timestamp t{std::chrono::milliseconds(when.toMSecsSinceEpoch())};
    for (const QLocale& system : {QLocale::system(), QLocale(QStringLiteral("POSIX")),
                                  QLocale(QLocale::Japanese, QLocale::Japan)}) {
        EXPECT_EQ(RecordRowDelegate::dateText(when, DateLocale::forDates(system)), "12月6日 16:00");
        EXPECT_EQ(DetailViewModel::localDateTime(t, system), "2026年12月6日 16:00");
    }
    const QLocale british(QLocale::English, QLocale::UnitedKingdom);
    EXPECT_EQ(RecordRowDelegate::dateText(when, DateLocale::forDates(british)), "6 Dec 16:00");
    EXPECT_TRUE(DetailViewModel::localDateTime(t, british).contains(QStringLiteral("Dec")));
}

}  // namespace

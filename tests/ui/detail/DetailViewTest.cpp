// The detail pane: its view-model over real stores; the view, its menus, exports, status line and
// agent section over the fake service, the keyring and a file manager on the session bus, with
// screenshots.
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDateTimeEdit>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <sys/stat.h>

#include "agents/FakeTools.h"
#include "fakeservice/FakeService.h"
#include "fakeservice/ScopedServiceUrl.h"
#include "library/CustomTemplateStore.h"
#include "library/EffectiveMinutes.h"
#include "platform/Desktop.h"
#include "platform/FileManager.h"
#include "platform/LoginItem.h"
#include "service/SecureStore.h"
#include "ui/Screenshots.h"
#include "ui/UiFixture.h"
#include "ui/main/HeaderView.h"
#include "ui/main/MainView.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/ToolbarButton.h"
#include "ui/main/detail/ActionItemView.h"
#include "ui/main/detail/AgentProcessingBanner.h"
#include "ui/main/detail/AgentSection.h"
#include "ui/main/detail/AgentSectionModel.h"
#include "ui/main/detail/AiTaskCard.h"
#include "ui/main/detail/DetailActionButtons.h"
#include "ui/main/detail/DetailActionsModel.h"
#include "ui/main/detail/DetailView.h"
#include "ui/main/detail/DetailViewModel.h"
#include "ui/main/detail/ExportName.h"
#include "ui/main/detail/ExportWriter.h"
#include "ui/main/detail/TaskEditor.h"
#include "ui/main/detail/TranscriptView.h"
#include "ui/settings/AgentSettingsModel.h"
#include "ui/settings/GeneralSettingsModel.h"
#include "util/AtomicFile.h"

namespace fs = std::filesystem;

namespace {

using uitest::shoot;
using uitest::waitFor;

namespace em = EffectiveMinutes;

Timestamp at(const char* iso) {
    return *iso8601::parse(iso);
}

TodoItem todo(std::string task, std::optional<std::string> assignee = {},
              std::optional<std::string> due = {}, bool automatic = false) {
    return {std::move(task), std::move(assignee), std::move(due), std::nullopt,
            automatic ? std::optional<bool>(true) : std::nullopt};
}

MinutesResult meeting(std::size_t lines = 3) {
    MinutesResult r;
    r.title = "週次定例ミーティング";
    r.meta = MinutesMeta{"2025-03-07", "会議室A", std::vector<std::string>{"田中", "佐藤", "鈴木"}};
    r.summary = "新店舗の出店計画と来期の予算について確認した。次回までに見積もりを揃える。";
    r.keyPoints = {"出店候補地は3か所に絞られた", "予算は前年比10%増で調整する"};
    r.decisions = {"候補地の現地調査を来週実施する"};
    r.todos = {todo("見積もりを3社から取る", "田中", "5/10"), todo("議事録を共有する", "佐藤"),
               todo("在庫データを集計する", std::nullopt, std::nullopt, true)};
    const char* speakers[] = {"田中", "佐藤", "鈴木"};
    for (std::size_t i = 0; i < lines; ++i) {
        r.transcript.push_back(
            {speakers[i % 3], std::to_string(i / 60) + ":" + std::to_string(10 + i % 50),
             std::to_string(i + 1) + "番目の発言です。出店計画の進捗と予算の"
                                     "配分について、担当者から説明がありました。"});
    }
    return r;
}

// Stands in for the desktop's file manager and keeps what it was asked to show.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public slots:
    void ShowItems(const QStringList& uris, const QString&) { shown += uris; }
};

std::string repeat(const std::string& s, int n) {
    return QString::fromStdString(s).repeated(n).toStdString();
}

// A file as the file manager is asked to show it.
QString uri(const fs::path& file) {
    return QUrl::fromLocalFile(QString::fromStdString(file.string())).toString(QUrl::FullyEncoded);
}

// Stores a record; the newest comes first.
const MinutesRecord& add(MinutesStore& store, const MinutesResult& r) {
    store.add(r, "minutes", "a.m4a");
    QCoreApplication::processEvents();
    return store.records().front();
}

class DetailViewModelTest : public StoresFixture {
protected:
    testsupport::ScopedTimeZone zone{"Asia/Tokyo"};
    const MinutesRecord& record = add(store, meeting());
    DetailViewModel vm{store, library, defaults, record.id,
                       [] { return at("2026-12-06T03:00:00Z"); }};
    em::Overrides stored() const { return library.metadata(record.id).taskOverrides; }
};

TEST_F(DetailViewModelTest, ToggleAndStaleIndexes) {
    vm.toggleTask(0);
    EXPECT_EQ(stored().at(em::taskID(record.result.todos[0])).isCompleted, true);
    EXPECT_TRUE(vm.isTaskDone(0));
    vm.toggleTask(0);
    EXPECT_EQ(stored().at(em::taskID(record.result.todos[0])).isCompleted, false);

    const auto before = stored();
    vm.toggleTask(3);
    vm.setPriority(7, QStringLiteral("高"));
    vm.beginEditingTask(3);
    EXPECT_EQ(vm.editingTaskIndex(), std::nullopt);
    vm.saveEditedTask();
    EXPECT_EQ(stored(), before) << "an index outside the items stores nothing";
    EXPECT_EQ(vm.itemLook(3), std::nullopt);
}

TEST_F(DetailViewModelTest, EditorPresetsAndSave) {
    const struct {
        const char* name;
        std::size_t index;
        std::function<void(DetailViewModel&)> edit;
        bool save;
        std::optional<LibraryTaskOverride> expected;
    } cases[] = {
        {"trimmed fields, due kept, priority", 0,
         [](DetailViewModel& m) {
             m.setTaskTitle(QStringLiteral("  見積もりを4社から取る\n"));
             m.setTaskAssignee(QStringLiteral(" 高橋　"));
             m.setTaskPriority(QStringLiteral("高"));
         },
         true,
         LibraryTaskOverride{"見積もりを4社から取る", "高橋", at("2026-05-09T15:00:00Z"), "高",
                             false}},
        {"cleared assignee is stored empty; due off stores no date", 0,
         [](DetailViewModel& m) {
             m.setTaskAssignee(QString());
             m.setTaskHasDueDate(false);
         },
         true, LibraryTaskOverride{"見積もりを3社から取る", "", std::nullopt, "中", false}},
        {"cancel stores nothing", 1, [](DetailViewModel& m) { m.setTaskTitle("別の名前"); }, false,
         std::nullopt},
        {"blank title stores nothing", 1, [](DetailViewModel& m) { m.setTaskTitle(" \n"); }, true,
         std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        library.setTaskOverride(std::nullopt, em::taskID(record.result.todos[c.index]), record.id);
        vm.beginEditingTask(c.index);
        ASSERT_EQ(vm.editingTaskIndex(), c.index);
        c.edit(vm);
        c.save ? vm.saveEditedTask() : vm.cancelEditing();
        EXPECT_EQ(vm.editingTaskIndex(), std::nullopt);
        EXPECT_EQ(vm.taskOverride(c.index), c.expected);
    }

    // "5/10" presets this year's 10 May, never year 1900.
    vm.beginEditingTask(0);
    EXPECT_TRUE(vm.taskHasDueDate());
    EXPECT_EQ(vm.taskDueDate(), at("2026-05-09T15:00:00Z"));
    vm.cancelEditing();
    // No due text: the switch is off and the date is now.
    vm.beginEditingTask(1);
    EXPECT_FALSE(vm.taskHasDueDate());
    EXPECT_EQ(vm.taskDueDate(), at("2026-12-06T03:00:00Z"));
    EXPECT_EQ(vm.taskPriority(), QStringLiteral("中"));
}

// A save that leaves the date alone keeps a due text that is no date the clock can hold.
TEST_F(DetailViewModelTest, AnUnreadableDueIsNeverWrittenBack) {
    MinutesResult r = meeting();
    r.todos = {todo("契約更新", {}, "9999-12-31"), todo("片付け", {}, "来週")};
    const auto now = [] { return at("2026-12-06T03:00:00Z"); };
    DetailViewModel m{store, library, defaults, add(store, r).id, now};
    for (const char* zone : {"UTC", "America/Los_Angeles"}) {
        testsupport::ScopedTimeZone tz(zone);
        for (std::size_t i : {0u, 1u}) {
            m.beginEditingTask(i);
            m.setTaskTitle(QStringLiteral("改名"));
            m.saveEditedTask();
            EXPECT_EQ(m.effectiveResult().todos[i].due, r.todos[i].due) << zone;
        }
    }
}

TEST_F(DetailViewModelTest, WhatIsShownIsWhatIsSent) {
    library.setTaskOverride(LibraryTaskOverride{"", "", std::nullopt, "低", true},
                            em::taskID(record.result.todos[0]), record.id);
    const auto look = *vm.itemLook(0);
    const TodoItem sent = vm.effectiveResult().todos[0];
    EXPECT_EQ(look.title.toStdString(), sent.task);
    EXPECT_EQ(look.assignee.toStdString(), sent.assignee.value_or(""));
    EXPECT_EQ(sent.assignee, std::nullopt) << "a cleared assignee is left out";
    EXPECT_EQ(look.meta(QStringLiteral(" ・ ")), QStringLiteral("期限: 5/10 ・ 優先度: 低"));
    EXPECT_EQ(look.meta(QStringLiteral("  ・  ")), QStringLiteral("期限: 5/10  ・  優先度: 低"));
    vm.beginEditingTask(0);
    EXPECT_EQ(vm.taskAssignee(), QString()) << "the editor shows what was typed";
    EXPECT_EQ(vm.userDoneCount(), 1u);
    EXPECT_EQ(vm.markdown().find("担当: 田中"), std::string::npos);
}

// The view, over the engine and the other services a window is built with.
class DetailViewTest : public StoresFixture {
protected:
    WindowServices services{store, library, defaults, dialogs};
    UiContext& ctx = services.ctx;
    MainViewModel main{store, library, defaults, dialogs};

    void SetUp() override { qputenv("TAVRO_REDUCE_MOTION", "1"); }
    void TearDown() override {
        window.reset();
        qunsetenv("TAVRO_REDUCE_MOTION");
        QApplication::setPalette(palette);
    }
    const QPalette palette = QApplication::palette();

    std::unique_ptr<DetailView> show(const MinutesResult& r) {
        auto view = std::make_unique<DetailView>(ctx, main, add(store, r).id);
        view->setFont(QFont(QStringLiteral("Noto Sans CJK JP")));
        view->resize(820, 760);
        view->show();
        QCoreApplication::processEvents();
        return view;
    }

    static QStringList texts(QWidget* page) {
        QStringList out;
        for (QLabel* l : page->findChildren<QLabel*>()) out << l->text();
        return out;
    }

    // The record in the main window, the onboarding done.
    DetailView* inWindow(const std::string& id, QSize size = {}) {
        defaults.set(MainViewModel::kOnboardingKey, true);
        window = std::make_unique<MainView>(ctx);
        if (size.isValid()) window->resize(size);
        window->show();
        window->model().setSelectedID(id);
        return window->findChild<DetailView*>();
    }
    std::unique_ptr<MainView> window;
};

TEST_F(DetailViewTest, HeaderWithALongTitle) {
    MinutesResult r = meeting();
    r.title =
        "2025年度 第3四半期 全社営業戦略会議および新規事業開発プロジェクトの進捗報告と"
        "来期予算配分に関する部門横断ミーティング";
    auto view = show(r);
    shoot(*view, QStringLiteral("detail-header-long-title"));
    EXPECT_GT(view->titleLabel()->height(), 2 * view->titleLabel()->fontMetrics().height())
        << "the title wraps";
    EXPECT_EQ(view->headerLineLabel()->text(),
              QStringLiteral("日付: 2025-03-07  ・  場所: 会議室A  ・  出席者: 田中、佐藤、鈴木"));
    EXPECT_TRUE(view->dateLabel()->text().endsWith(QStringLiteral(" ・ 議事録")));

    view->viewModel().setShareStatus(QStringLiteral("Slackへ送信中…"));
    EXPECT_TRUE(view->statusLabel()->isVisibleTo(view.get()));
    view->viewModel().setShareStatus(std::nullopt);
    EXPECT_FALSE(view->statusLabel()->isVisibleTo(view.get()));
}

TEST_F(DetailViewTest, SectionsTakeThePlaceOfSummaryKeyPointsAndDecisions) {
    MinutesResult r = meeting();
    r.sections = std::vector<MinutesSection>{
        {"出店計画",
         {{"候補地は札幌・仙台・福岡の3か所", std::nullopt}, {"5月中に現地調査", std::nullopt}}},
        {"予算", {{"前年比10%増で申請する", std::nullopt}}}};
    auto view = show(r);
    shoot(*view, QStringLiteral("detail-summary-sections"));
    const QStringList shown = texts(view->page(0));
    EXPECT_TRUE(shown.contains(QStringLiteral("出店計画")));
    EXPECT_TRUE(shown.contains(QStringLiteral("アクションアイテム")));
    for (const char* hidden : {"要約", "重要ポイント", "決定事項"})
        EXPECT_FALSE(shown.contains(QString::fromUtf8(hidden))) << hidden;
    EXPECT_EQ(view->actionItems(0).size(), 3u) << "every item is a row, the agent's too";
}

TEST_F(DetailViewTest, ActionTabTicksAndEdits) {
    defaults.set("autoAgent", false);
    auto view = show(meeting());
    view->viewModel().setTab(DetailViewModel::actionsTab);
    ASSERT_EQ(view->actionItems(1).size(), 2u) << "the user's two items as cards";
    view->scrollArea(1)->verticalScrollBar()->setValue(0);
    QTest::mouseClick(view->actionItems(1)[1], Qt::LeftButton, {}, QPoint(60, 20));
    QCoreApplication::processEvents();
    EXPECT_TRUE(view->viewModel().isTaskDone(1));
    EXPECT_TRUE(view->actionItems(1)[1]->done()) << "the page was rebuilt";
    EXPECT_TRUE(texts(view->page(1)).contains(QStringLiteral("1 / 2")));
    shoot(*view, QStringLiteral("detail-action-tab"));

    view->actionItems(1)[0]->editButton()->click();
    TaskEditor* editor = view->taskEditor();
    ASSERT_TRUE(editor && editor->isVisible());
    EXPECT_EQ(editor->titleField()->text(), QStringLiteral("見積もりを3社から取る"));
    EXPECT_TRUE(editor->dueField()->isVisible());
    const QLabel* dueLabel = editor->dueField()->parentWidget()->findChild<QLabel*>();
    ASSERT_TRUE(dueLabel && dueLabel->isVisible() && dueLabel->buddy() == editor->dueField());
    EXPECT_EQ(dueLabel->text(), QStringLiteral("期限"));
    shoot(*editor, QStringLiteral("detail-task-editor"));
    editor->titleField()->clear();
    QTest::keyClicks(editor->titleField(), QStringLiteral("   "));
    EXPECT_FALSE(editor->saveButton()->isEnabled());
    QTest::keyClicks(editor->titleField(), QStringLiteral("Quote"));
    editor->dueSwitch()->click();
    EXPECT_FALSE(editor->dueField()->isVisible());
    editor->saveButton()->click();
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(view->viewModel().effectiveResult().todos[0], todo("Quote", "田中", "5/10"));
}

// At the window's minimum size no text is cut or read as markup, action items stand at even
// gaps, and a row's meta text follows its title rather than the pencil.
TEST_F(DetailViewTest, AtTheMinimumWindowSizeTextIsWholeAndAsWritten) {
    MinutesResult r = meeting();
    r.title = "週次<b>定例</b> &lt;";
    r.todos[0] = todo("ログイン画面の<table>" + r.summary + "<b>修正</b>する", "田中",
                      "2025年5月10日 10:00まで");
    auto* view = inWindow(add(store, r).id, MainView::kMinimumSize);
    ASSERT_TRUE(view);
    view->viewModel().setShareStatus(QStringLiteral("Word書き出しエラー: <img src=x> &amp;"));
    for (const int tab : {DetailViewModel::summaryTab, DetailViewModel::actionsTab}) {
        view->viewModel().setTab(tab);
        QCoreApplication::processEvents();
        for (QLabel* l : view->findChildren<QLabel*>()) {
            if (!l->isVisible()) continue;
            EXPECT_GE(l->height(), l->heightForWidth(l->width())) << l->text().toStdString();
            EXPECT_TRUE(!Qt::mightBeRichText(l->text()) || l->textFormat() == Qt::PlainText)
                << l->text().toStdString();
        }
        const auto items = view->actionItems(tab);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const QLabel* t = items[i]->titleLabel();
            EXPECT_TRUE(tab || t->width() <= t->sizeHint().width())
                << "a row's title fits its text";
            EXPECT_TRUE(i == 0 ||
                        items[i]->y() - items[i - 1]->geometry().bottom() - 1 == (tab ? 8 : 10));
        }
        shoot(*window, QStringLiteral("detail-actions-minimum-%1").arg(tab));
    }
}

TEST_F(DetailViewTest, ActionTabBlocksFollowTheItemsAndAutonomy) {
    const std::vector<TodoItem> agentOnly = {todo("a", {}, {}, true), todo("b", {}, {}, true)};
    const struct {
        const char* name;
        std::vector<TodoItem> todos;
        bool autoAgent;
        bool mine, aiHeader, agent;
        std::vector<std::size_t> agentItems;
    } cases[] = {
        {"none", {}, true, false, false, false, {}},
        {"mixed", meeting().todos, false, true, true, true, {2}},
        {"all for the agent", agentOnly, false, false, true, true, {0, 1}},
        {"user only, autonomy on", {todo("a")}, true, true, false, true, {}},
        {"user only, autonomy off", {todo("a")}, false, true, false, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        defaults.set("autoAgent", c.autoAgent);
        MinutesResult r = meeting();
        r.todos = c.todos;
        auto view = show(r);
        std::optional<std::vector<std::size_t>> given;
        view->setAgentSectionBuilder([&given](const std::vector<std::size_t>& items) {
            given = items;
            return nullptr;
        });
        const QStringList shown = texts(view->page(DetailViewModel::actionsTab));
        EXPECT_EQ(shown.contains(QStringLiteral("自分がやること")), c.mine);
        EXPECT_EQ(shown.contains(QStringLiteral("AIに任せる")), c.aiHeader);
        EXPECT_EQ(given.has_value(), c.agent);
        EXPECT_EQ(given.value_or(std::vector<std::size_t>{}), c.agentItems);
        EXPECT_EQ(shown.contains(
                      QStringLiteral("この会議ではアクションアイテムは検出されませんでした。")),
                  c.todos.empty());
        EXPECT_EQ(texts(view->page(0)).contains(QStringLiteral("アクションアイテム")),
                  !c.todos.empty());
        // Every item is counted in the tab, the agent's too.
        EXPECT_EQ(view->tabButton(1)->text(),
                  c.todos.empty() ? QStringLiteral("アクション")
                                  : QStringLiteral("アクション (%1)").arg(c.todos.size()));
    }
}

// In the main window, with the action tab scrolled and (after the first step) the task editor
// open: the autonomy switch adds and removes the agent section, the template's renaming and
// removal reach the date line, and only these parts hear of it (the agent tool's name is the
// section's own); the tab, the place and the editor's text stay.
TEST_F(DetailViewTest, ThePaneFollowsTheSettingsItShows) {
    CustomTemplateStore::save({{"custom-1", "営業報告", "d", "i"}}, defaults);
    MinutesResult r = meeting();
    r.todos.clear();  // none for the agent: the switch alone decides the section
    for (int i = 1; i <= 12; ++i) r.todos.push_back(todo("タスク" + std::to_string(i), "田中"));
    store.add(r, "custom-1", "b.m4a");
    QCoreApplication::processEvents();
    DetailView* view = inWindow(store.records().front().id);
    ASSERT_TRUE(view);
    DetailViewModel& vm = view->viewModel();
    QSignalSpy dates(&vm, &DetailViewModel::dateLineChanged);
    QSignalSpy agent(&vm, &DetailViewModel::agentSectionChanged);
    QSignalSpy content(&vm, &DetailViewModel::contentChanged);
    AgentSettingsModel agentSettings(defaults);
    GeneralSettingsModel generalSettings(
        defaults, dialogs, LoginItem(home.home() / "autostart.desktop", "/bin/true"),
        home.home() / "data", nullptr, TAVRO_DOCUMENT_TEXT_PROGRAM);

    view->tabButton(DetailViewModel::actionsTab)->click();
    QScrollBar* bar = view->scrollArea(DetailViewModel::actionsTab)->verticalScrollBar();
    ASSERT_TRUE(waitFor([&] { return bar->maximum() > 300; })) << "twelve cards scroll";
    bar->setValue(bar->maximum() / 2);
    const int offset = bar->value();
    auto section = [&] { return view->findChild<AgentSection*>(); };
    ASSERT_TRUE(section()) << "autonomy is on when never set";

    const auto renamed = [&] {
        CustomTemplateStore::save({{"custom-1", "商談メモ", "d", "i"}}, defaults);
    };
    const struct {
        const char* name;
        std::function<void()> change;
        bool section;
        const char* label;
    } steps[] = {
        {"header switch off", [&] { window->headerView()->agentButton()->click(); }, false,
         "営業報告"},
        {"another setting", [&] { defaults.set("hotkeyInterval", 0.4); }, false, "営業報告"},
        {"settings switch on", [&] { agentSettings.setAutoAgent(true); }, true, "営業報告"},
        {"template renamed", renamed, true, "商談メモ"},
        {"agent tool changed", [&] { agentSettings.setAgentCmd("codex"); }, true, "商談メモ"},
        {"settings switch off", [&] { agentSettings.setAutoAgent(false); }, false, "商談メモ"},
        {"switch stored off again", [&] { defaults.set("autoAgent", false); }, false, "商談メモ"},
        {"template removed in the settings", [&] { generalSettings.deleteTemplate("custom-1"); },
         false, "議事録"},
        {"switch's key removed: on", [&] { defaults.remove("autoAgent"); }, true, "議事録"},
    };
    bool hadSection = true;
    QString hadLabel = QStringLiteral("営業報告");
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        const bool editing = &step != steps;
        if (&step == steps + 1) {  // from here on the editor stays open, holding typed text
            view->actionItems(DetailViewModel::actionsTab)[0]->editButton()->click();
            ASSERT_TRUE(view->taskEditor() && view->taskEditor()->isVisible());
            view->taskEditor()->titleField()->setText(QStringLiteral("入力途中のタスク"));
        }
        dates.clear();
        agent.clear();
        const QPointer<AgentSection> hadWidget = section();
        step.change();
        const QString label = QString::fromUtf8(step.label);
        EXPECT_TRUE(waitFor([&] { return (section() != nullptr) == step.section; }));
        EXPECT_TRUE(waitFor([&] { return view->dateLabel()->text().endsWith(" ・ " + label); }))
            << view->dateLabel()->text().toStdString();
        EXPECT_EQ(dates.count(), label == hadLabel ? 0 : 1);
        EXPECT_EQ(agent.count(), step.section == hadSection ? 0 : 1);
        EXPECT_TRUE(!step.section || !hadSection || section() == hadWidget) << "not rebuilt";
        hadLabel = label;
        hadSection = step.section;
        EXPECT_EQ(vm.tab(), DetailViewModel::actionsTab);
        EXPECT_TRUE(view->tabButton(DetailViewModel::actionsTab)->isChecked());
        EXPECT_TRUE(waitFor([&] { return bar->value() == offset; })) << bar->value();
        if (!editing) continue;
        ASSERT_TRUE(view->taskEditor()->isVisible());
        EXPECT_EQ(view->taskEditor()->titleField()->text(), QStringLiteral("入力途中のタスク"));
        EXPECT_EQ(vm.editingTaskIndex(), 0u);
    }
    EXPECT_EQ(content.count(), 0) << "settings alone never rebuild every page";
    view->taskEditor()->cancelButton()->click();
    QCoreApplication::processEvents();  // the last rebuild's own scrolling first
    bar->setValue(bar->maximum());      // the section at the bottom
    shoot(*window, QStringLiteral("detail-settings-followed"));
}

// The done count reads on a dark window: secondary text on a faint capsule of the text colour.
TEST_F(DetailViewTest, TheDoneCountReadsOnADarkWindow) {
    QApplication::setPalette(uitest::darkPalette());  // the fixture puts the light one back
    defaults.set("autoAgent", false);
    auto view = show(meeting());
    view->viewModel().toggleTask(0);
    view->viewModel().setTab(DetailViewModel::actionsTab);
    QLabel* count = nullptr;
    ASSERT_TRUE(waitFor([&] {
        count = view->page(DetailViewModel::actionsTab)->findChild<QLabel*>("doneCount");
        return count && count->isVisible();
    }));
    EXPECT_EQ(count->text(), QStringLiteral("1 / 2"));
    shoot(*view, QStringLiteral("detail-done-count-dark"));

    const QImage img = count->grab().toImage();
    // The fill, at the middle of the left end: the window a little toward the text colour.
    const QColor window = count->palette().color(QPalette::Window);
    const QColor text = count->palette().color(QPalette::WindowText);
    const QColor fill = img.pixelColor(6 * img.devicePixelRatio(), img.height() / 2);
    for (auto channel : {&QColor::red, &QColor::green, &QColor::blue})
        EXPECT_NEAR((fill.*channel)(),
                    (window.*channel)() + 0.06 * ((text.*channel)() - (window.*channel)()), 3)
            << fill.name().toStdString();
    // The text: its brightest pixel is light, as the secondary text colour is on this window.
    int brightest = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            brightest = std::max(brightest, img.pixelColor(x, y).lightness());
    EXPECT_GT(brightest, 120);
}

TEST_F(DetailViewTest, AnHourOfTranscriptIsOneWidget) {
    auto view = show(meeting(400));
    view->viewModel().setTab(DetailViewModel::transcriptTab);
    TranscriptView* transcript = view->transcript();
    ASSERT_NE(transcript, nullptr);
    EXPECT_EQ(transcript->rowCount(), 400);
    EXPECT_LT(view->page(2)->findChildren<QWidget*>().size(), 10);
    QScrollBar* bar = view->scrollArea(2)->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 400 * 40);
    bar->setValue(transcript->rowRect(200).top());
    shoot(*view, QStringLiteral("detail-transcript-400"));

    // Library changes beside the task edits leave the page alone; a rebuild keeps the place.
    const int offset = bar->value();
    library.setFavorite(true, {view->recordID()});
    EXPECT_EQ(view->transcript(), transcript);
    view->viewModel().toggleTask(0);
    QCoreApplication::processEvents();
    EXPECT_NE(view->transcript(), transcript);
    EXPECT_EQ(view->scrollArea(2)->verticalScrollBar()->value(), offset);
    transcript = view->transcript();
    transcript->selectAll();
    EXPECT_TRUE(transcript->selectedText().startsWith(QStringLiteral("1番目の発言です。")));
}

class DetailActionsTest : public DetailViewTest {
protected:
    FakeService service;
    ScopedServiceUrl serviceUrl{service.baseUrl()};
    FakeFileManager fileManager;
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fm");
    std::vector<QUrl> opened;
    std::vector<std::function<void()>> clears;  // the status line's pending 4 s clearings

    static void removeSecrets() {
        for (auto account : {"hubspotToken", "salesforceAccessToken", "zapierSigningSecret"})
            SecureStore::remove(account);
    }
    // The keyring is the session's: other tests may have left these behind.
    void SetUp() override {
        DetailViewTest::SetUp();
        removeSecrets();
        ASSERT_TRUE(
            bus.registerObject(FileManager::kPath, &fileManager, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(bus.registerService(FileManager::kService));
        Desktop::setOpener([this](const QUrl& url) { return opened.push_back(url), true; });
        defaults.set("authToken", service.issueToken("a@example.jp"));
    }
    void TearDown() override {
        DetailViewTest::TearDown();
        Desktop::setOpener({});
        bus.unregisterService(FileManager::kService);
        QDBusConnection::disconnectFromBus("fm");
        removeSecrets();
    }

    // A record whose effective minutes differ from the stored ones by an edited task.
    std::unique_ptr<DetailActionsModel> modelFor(const MinutesRecord& record) {
        auto model = std::make_unique<DetailActionsModel>(ctx, record.id, [record] {
            MinutesResult r = record.result;
            r.todos.push_back({"編集後のタスク", std::nullopt, std::nullopt, std::nullopt, false});
            return r;
        });
        model->setDelay([this](auto, std::function<void()> then) { clears.push_back(then); });
        return model;
    }
    static QString status(const DetailActionsModel& m) { return m.shareStatus().value_or("—"); }
};

TEST(ExportName, StemsFollowTheTitle) {
    const std::string family =
        "👩‍👩‍👧";  // one user-perceived character of five code points
    const struct {
        std::string title, format, name;
    } cases[] = {
        {"a/b:c", "docx", "a_b_c.docx"},
        {"   ", "pdf", "議事録.pdf"},
        {"", "md", "議事録.md"},
        {"週次\r\n定例", "md", "週次__定例.md"},
        {" \t 予算 ", "pdf", "_ 予算.pdf"},  // the tab is replaced before the trim
        {repeat("あ", 100), "md", repeat("あ", 80) + ".md"},
        // 75 emoji are 300 bytes: cut at a character to fit 255 bytes; controls are dropped.
        {repeat("😀", 75), "docx", repeat("😀", 62) + ".docx"},
        {repeat("😀", 75), "md", repeat("😀", 63) + ".md"},
        {std::string("定例") + '\0' + "会議\x1b[31m\u0085", "pdf", "定例会議[31m.pdf"},
    };
    testsupport::TempDir dir;  // each name is one the file system takes as it is
    ::umask(027);              // and an export follows the user's umask
    for (const auto& c : cases) {
        const std::string name = exportname::proposedName(c.title, c.format);
        EXPECT_EQ(name, c.name) << c.title;
        EXPECT_EQ(exportwriter::write((dir / name).string(), "x"), "") << name;
        EXPECT_EQ(fs::status(dir / name).permissions(), fs::perms(0640)) << name;
    }
    EXPECT_EQ(exportname::stem(repeat(family, 81)), repeat(family, 14)) << "255 bytes, whole";
}

TEST_F(DetailActionsTest, EnablementAndConfigurationFollowSettingsAndKeyring) {
    const auto& record = addRecord("定例");
    auto model = modelFor(record);
    auto titles = [&] {
        std::vector<std::string> out;
        for (const auto& e : model->shareEntries())
            out.push_back(e.title() + (e.configured ? "" : "!"));
        return out;
    };
    EXPECT_EQ(titles(),
              (std::vector<std::string>{"Notion (未設定)!", "Slack (未設定)!", "Discord (未設定)!",
                                        "HubSpot Note (未設定)!", "Salesforce Task (未設定)!",
                                        "Zapier (未設定)!"}));
    auto config = shareConfiguration(defaults, SecureStore::read);
    EXPECT_EQ(config.size(), 14u);
    for (const auto& [key, value] : config)
        EXPECT_EQ(value, key == "hubspotObjectType"         ? "contact"
                         : key == "zapierIncludeTranscript" ? "false"
                                                            : "")
            << key;

    // Each step adds one setting or secret; only complete pairs enable their entry.
    const struct {
        std::function<void()> set;
        std::size_t entry;
        std::string title;
    } steps[] = {
        {[&] { defaults.set("notionToken", "secret_n"); }, 0, "Notion (未設定)!"},
        {[&] { defaults.set("notionParentId", "p1"); }, 0, "Notionへ送信"},
        {[&] { SecureStore::write("hub-token", "hubspotToken"); }, 3, "HubSpot Note (未設定)!"},
        {[&] { defaults.set("hubspotObjectId", "42"); }, 3, "HubSpot Noteへ送信"},
        {[&] { defaults.set("salesforceInstanceUrl", "https://sf"); }, 4,
         "Salesforce Task (未設定)!"},
        {[&] { SecureStore::write("sf-token", "salesforceAccessToken"); }, 4,
         "Salesforce Taskへ送信"},
        {[&] { SecureStore::write("zap", "zapierSigningSecret"); }, 5, "Zapier (未設定)!"},
        {[&] { defaults.set("zapierWebhook", "https://z"); }, 5, "Zapierへ送信"},
    };
    for (const auto& step : steps) {
        step.set();
        EXPECT_EQ(titles()[step.entry], step.title);
    }
    defaults.set("zapierIncludeTranscript", true);
    config = shareConfiguration(defaults, SecureStore::read);
    EXPECT_EQ(config["hubspotToken"], "hub-token");
    EXPECT_EQ(config["zapierIncludeTranscript"], "true");

    // The menu as the user meets it, built afresh from the settings when it opens.
    DetailActionButtons buttons(ctx, *model);
    buttons.show();
    buttons.shareMenu()->popup(buttons.mapToGlobal(QPoint(0, buttons.height())));
    ASSERT_TRUE(waitFor([&] { return buttons.shareMenu()->isVisible(); }));
    const auto actions = buttons.shareMenu()->actions();
    EXPECT_EQ(actions[2]->text().toStdString(), "Notionへ送信");
    EXPECT_TRUE(actions[2]->isEnabled());
    EXPECT_EQ(actions[3]->text().toStdString(), "Slack (未設定)");
    EXPECT_FALSE(actions[3]->isEnabled());
    shoot(*buttons.shareMenu(), QStringLiteral("detail-share-menu"));
    buttons.shareMenu()->hide();
}

// In the main window: the record's own menus, its status line, its task edits and its agent
// section.
TEST_F(DetailActionsTest, AWordExportIsWrittenFromTheServiceAndShown) {
    MinutesResult minutes;
    minutes.title = "a/b:c";
    minutes.todos = {todo("元のタスク"), todo("資料を集める", "田中", "5/10", true)};
    const std::string id = add(store, minutes).id;
    LibraryTaskOverride edit;
    edit.title = "編集後のタスク";
    library.setTaskOverride(edit, EffectiveMinutes::taskID(minutes.todos[0]), id);
    auto* detail = inWindow(id);
    ASSERT_TRUE(detail);
    auto* model = detail->findChild<DetailActionsModel*>();
    ASSERT_TRUE(model);
    model->setDelay([this](auto, std::function<void()> then) { clears.push_back(then); });
    const fs::path target = home.home() / "out.docx";
    dialogs.saveAnswer = target.string();

    model->exportFile("docx", "Word");
    ASSERT_EQ(dialogs.savePanels.size(), 1u);
    EXPECT_TRUE(dialogs.savePanels[0].title.endsWith(QStringLiteral("/a_b_c.docx")));
    EXPECT_EQ(dialogs.savePanels[0].message, QStringLiteral("Wordファイルとして書き出し"));
    EXPECT_EQ(detail->statusLabel()->text(), QStringLiteral("Wordを生成中…"));
    shoot(*window, QStringLiteral("detail-status-generating"));

    ASSERT_TRUE(waitFor([&] { return status(*model) != QStringLiteral("Wordを生成中…"); }));
    EXPECT_EQ(detail->statusLabel()->text(), QStringLiteral("Wordを書き出しました ✓"));
    EXPECT_EQ(*atomicfile::read(target),
              std::string("PK\x03\x04\x14\0\0\0\x08\0fake word document", 28));
    const auto sent = service.requests("POST", "/api/export");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NE(sent[0].body.find("編集後のタスク"), std::string::npos) << "the effective minutes";
    ASSERT_TRUE(waitFor([&] { return !fileManager.shown.empty(); }));
    EXPECT_EQ(fileManager.shown, QStringList{uri(target)});

    ASSERT_EQ(clears.size(), 1u);
    clears[0]();
    EXPECT_FALSE(detail->viewModel().shareStatus());

    // The agent's item is in the action tab's agent section; "削除…" asks before deleting.
    detail->viewModel().setTab(1);
    QCoreApplication::processEvents();
    auto* section = detail->findChild<AgentSection*>();
    ASSERT_TRUE(section);
    ASSERT_EQ(section->cards().size(), 1u);
    EXPECT_TRUE(section->button(QStringLiteral("AIに今すぐ実行させる")));
    detail->findChild<DetailActionButtons*>()->actionsMenu()->actions().back()->trigger();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_TRUE(store.records().empty());
}

TEST_F(DetailActionsTest, AMarkdownWriteThatFailsShowsItsErrorAndRevealsNothing) {
    const auto& record = addRecord("議事録A");
    auto model = modelFor(record);
    // A folder that is not there, named in the user's words.
    dialogs.saveAnswer = (home.home() / "nowhere/議事録A.md").string();

    model->exportFile("md", "Markdown");
    EXPECT_EQ(status(*model),
              QStringLiteral("Markdown書き出しエラー: 「議事録A.md」に書き込めません"
                             "でした (保存先のフォルダが見つかりません)"));

    // Written: no status, the file holds the effective minutes and is shown.
    clears.front()();
    dialogs.saveAnswer = (home.home() / "議事録A.md").string();
    model->exportFile("md", "Markdown");
    EXPECT_FALSE(model->shareStatus());
    EXPECT_NE(atomicfile::read(home.home() / "議事録A.md")->find("編集後のタスク"),
              std::string::npos);
    // Calls on the bus arrive in order: a reveal of the failed file would come first.
    ASSERT_TRUE(waitFor([&] { return !fileManager.shown.empty(); }));
    EXPECT_EQ(fileManager.shown, QStringList{uri(home.home() / "議事録A.md")});
    EXPECT_TRUE(opened.empty());
    // Without a file manager on the bus, the folder opens.
    bus.unregisterService(FileManager::kService);
    FileManager::showItem((home.home() / "議事録.md").string());
    ASSERT_TRUE(waitFor([&] { return !opened.empty(); }));
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(QString::fromStdString(home.home().string())));
}

// Panels start in the last export's folder, else Documents, else home; a name without the
// format's extension gets it, and only the name written is asked about.
TEST_F(DetailActionsTest, SavePanelsStartInTheLastExportFolderAndAskBeforeReplacing) {
    auto model = modelFor(addRecord("議事録A"));
    const fs::path out = home.home() / "out";
    const auto proposed = [&] { return fs::path(dialogs.savePanels.back().title.toStdString()); };
    fs::create_directories(out);
    ASSERT_EQ(atomicfile::write(out / "x.pdf.md", "old"), "");
    dialogs.saveAnswer = (out / "x.pdf").string();
    dialogs.answer = false;
    dialogs.onConfirm = [&] { dialogs.saveAnswer = (out / "X.MD").string(); };
    model->exportFile("md", "Markdown");
    EXPECT_EQ(dialogs.savePanels.at(0).title.toStdString(), (home.home() / "議事録A.md").string());
    EXPECT_EQ(dialogs.asked.at(0).title,
              QStringLiteral("「x.pdf.md」はすでに存在します。置き換えますか？"));
    EXPECT_EQ(proposed(), out / "x.pdf.md") << "declined: the panel again";
    EXPECT_EQ(*atomicfile::read(out / "x.pdf.md"), "old");
    EXPECT_TRUE(fs::exists(out / "X.MD"));
    dialogs.saveAnswer.reset();
    model->exportFile("md", "Markdown");
    EXPECT_EQ(proposed(), out / "議事録A.md");
    fs::remove_all(out);
    fs::create_directories(home.home() / "Documents");
    model->exportFile("md", "Markdown");
    EXPECT_EQ(proposed(), home.home() / "Documents/議事録A.md");
}

// Only a folder that an export was written to is offered again; one whose file could not be
// written (its name taken by a folder, which fails also as root), or whose document the service
// refused, is not.
TEST_F(DetailActionsTest, OnlyAWrittenExportsFolderIsRemembered) {
    auto model = modelFor(addRecord("議事録A"));
    const struct {
        const char* name;
        std::string format;
        bool refused, written;
    } cases[] = {
        {"markdown written", "md", false, true}, {"markdown not written", "md", false, false},
        {"word refused", "docx", true, false},   {"word not written", "docx", false, false},
        {"word written", "docx", false, true},
    };
    fs::path remembered;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path folder = home.home() / std::to_string(&c - cases);
        const fs::path target = folder / ("議事録A." + c.format);
        fs::create_directories(c.written ? folder : target);
        service.clearScripts();
        if (c.refused)
            service.script("POST", "/api/export",
                           FakeService::Reply::withJson(500, {{"error", "混雑"}}));
        dialogs.saveAnswer = target.string();
        clears.clear();
        const bool word = c.format == "docx";
        model->exportFile(c.format, word ? "Word" : "Markdown");
        if (word) {  // the document comes from the service
            ASSERT_TRUE(waitFor([&] { return !clears.empty(); }));
            EXPECT_EQ(status(*model) == QStringLiteral("Wordを書き出しました ✓"), c.written)
                << status(*model).toStdString();
        }
        if (c.written) remembered = folder;
        EXPECT_EQ(defaults.stringValue(DetailActionsModel::kExportFolderKey).value_or(""),
                  remembered.string());
        dialogs.saveAnswer.reset();
        model->exportFile("md", "Markdown");  // where the next panel starts
        EXPECT_EQ(fs::path(dialogs.savePanels.back().title.toStdString()).parent_path(),
                  remembered);
    }
}

TEST_F(DetailActionsTest, AStatusIsClearedOnlyByTheRequestThatWroteIt) {
    const auto& record = addRecord("共有テスト");
    auto model = modelFor(record);
    defaults.set("slackWebhook", "https://hooks.example/s");
    model->share("slack", "Slack");
    EXPECT_EQ(status(*model), QStringLiteral("Slackへ送信中…"));
    ASSERT_TRUE(waitFor([&] { return !clears.empty(); }));
    EXPECT_EQ(status(*model), QStringLiteral("Slackへ送信しました ✓"));
    const auto body = service.requests("POST", "/api/share").at(0).body;
    EXPECT_NE(body.find("編集後のタスク"), std::string::npos);
    EXPECT_NE(body.find("\"hubspotObjectType\":\"contact\""), std::string::npos);

    model->share("discord", "Discord");
    clears[0]();  // the first request's 4 s end while the second one runs
    EXPECT_EQ(status(*model), QStringLiteral("Discordへ送信中…"));
    ASSERT_TRUE(waitFor([&] { return clears.size() == 2; }));
    clears[1]();
    EXPECT_FALSE(model->shareStatus());
}

// The agent's run from the start button to done and to failed, with a stand-in tool that waits
// for a "go" file before it ends.
TEST_F(DetailActionsTest, TheAgentSectionFollowsTheRun) {
    fakes::writeScript(home.home() / ".local/bin/claude",
                       "cat > /dev/null\nn=0\n"
                       // Bounded, so that a failed test leaves no tool behind.
                       "while [ ! -e \"$HOME/go\" ] && [ $n -lt 600 ]; do sleep 0.05; n=$((n+1)); "
                       "done\n"
                       "if [ -e \"$HOME/fail\" ]; then exit 3; fi\necho done > REPORT.md\n");
    fakes::writeFile(home.home() / ".profile", "PATH=\"$HOME/.local/bin:$PATH\"\n");
    MinutesResult minutes;
    minutes.title = "AI会議";
    minutes.todos = {todo("資料を集める", "田中", "5/10", true),
                     todo("議事録を清書する", "", "", true)};
    const MinutesRecord record = add(store, minutes);
    auto actions = modelFor(record);
    AgentSectionModel model(services.engine, defaults, record.id, [&] { actions->requestAgent(); });
    AgentSection section(model, minutes.todos);
    section.resize(640, section.sizeHint().height() + 40);
    section.show();
    ASSERT_EQ(section.cards().size(), 2u);
    EXPECT_EQ(section.cards()[0]->metaText(), QStringLiteral("担当: 田中  ・  期限: 5/10"));
    EXPECT_EQ(section.cards()[1]->metaText(), QString());
    ASSERT_TRUE(section.button(QStringLiteral("AIに今すぐ実行させる")));
    shoot(section, QStringLiteral("detail-agent-start"));

    auto runFolders = [&] {
        std::size_t n = 0;
        for (auto& e : fs::directory_iterator(store.agentDir())) n += e.is_directory();
        return n;
    };
    section.button(QStringLiteral("AIに今すぐ実行させる"))->click();
    ASSERT_EQ(model.block(), AgentSectionModel::Block::running);
    EXPECT_FALSE(actions->canRequestAgent());
    actions->requestAgent();  // a second request while the first run goes on starts nothing
    EXPECT_EQ(runFolders(), 1u);
    QCoreApplication::processEvents();
    auto* banner = qobject_cast<AgentProcessingBanner*>(section.stateBlock());
    ASSERT_TRUE(banner);
    EXPECT_TRUE(section.cards()[0]->isRunning());
    EXPECT_EQ(banner->detail(), QStringLiteral("Claude CodeがPCで完結するタスクを実行しています"));
    defaults.set("agentCmd", "codex");
    EXPECT_EQ(model.engineName(), QStringLiteral("Codex"));
    // The banner in place names the tool chosen, each time it changes.
    const std::pair<const char*, const char*> tools[] = {
        {"codex", "Codex"}, {"", "Claude Code"}, {"claude", "Claude Code"}, {"codex", "Codex"}};
    for (const auto& [raw, tool] : tools) {
        defaults.set("agentCmd", raw);
        ASSERT_EQ(section.stateBlock(), banner) << raw;
        EXPECT_EQ(banner->detail(),
                  QString::fromUtf8(tool) + "がPCで完結するタスクを実行しています");
    }
    for (const char* dots : {"AIが作業を処理中・", "AIが作業を処理中・・", "AIが作業を処理中・・・",
                             "AIが作業を処理中"}) {
        banner->tick();
        EXPECT_EQ(banner->title(), QString::fromUtf8(dots));
    }
    shoot(section, QStringLiteral("detail-agent-running"));

    fakes::writeFile(home.home() / "go", "");
    ASSERT_TRUE(waitFor([&] { return model.block() == AgentSectionModel::Block::done; }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(section.cards()[0]->isRunning());
    EXPECT_TRUE(actions->canRequestAgent());
    section.button(AgentSectionModel::kOpenReport)->click();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toLocalFile().toStdString(), model.run()->reportPath);
    shoot(section, QStringLiteral("detail-agent-done"));

    // Where the desktop opens neither, the card says so under its buttons, naming what did not
    // open, until a later click opens it. Without a file manager the folder goes to the desktop.
    bus.unregisterService(FileManager::kService);
    bool opens = false;
    Desktop::setOpener([&](const QUrl& url) { return opened.push_back(url), opens; });
    const QString report = QString::fromStdString(model.run()->reportPath);
    const std::pair<QString, QString> cases[] = {
        {AgentSectionModel::kOpenReport, Desktop::cannotOpenText(QUrl::fromLocalFile(report))},
        {AgentSectionModel::kOpenFolder,
         Desktop::cannotOpenFolderText(QFileInfo(report).absolutePath())},
    };
    for (const auto& [button, said] : cases) {
        SCOPED_TRACE(button.toStdString());
        opens = false;
        section.button(button)->click();
        ASSERT_TRUE(waitFor([&] { return section.problemLabel()->isVisible(); }));
        EXPECT_EQ(section.problemLabel()->text(), said);
        if (button == AgentSectionModel::kOpenFolder)
            shoot(section, QStringLiteral("detail-agent-folder-not-opened"));
        opens = true;
        const std::size_t before = opened.size();
        section.button(button)->click();
        ASSERT_TRUE(waitFor([&] { return opened.size() > before; }));
        EXPECT_FALSE(section.problemLabel()->isVisible());
    }
    Desktop::setOpener([this](const QUrl& url) { return opened.push_back(url), true; });

    // The retry's run fails: the error card, with the fixed text and a retry only.
    fs::remove(home.home() / "go");
    fakes::writeFile(home.home() / "fail", "");
    defaults.remove("agentCmd");
    section.button(AgentSectionModel::kRerun)->click();
    EXPECT_EQ(model.block(), AgentSectionModel::Block::running);
    fakes::writeFile(home.home() / "go", "");
    ASSERT_TRUE(waitFor([&] { return model.block() == AgentSectionModel::Block::failed; }));
    QCoreApplication::processEvents();
    ASSERT_TRUE(section.button(AgentSectionModel::kRetry));
    EXPECT_FALSE(model.run()->message.empty());
    QStringList shown = texts(section.stateBlock());
    shown.removeAll(QString());  // the symbol
    EXPECT_EQ(shown, QStringList{AgentSectionModel::kFailedText}) << "no detail of the failure";
    shoot(section, QStringLiteral("detail-agent-failed"));
}

}  // namespace

#include "DetailViewTest.moc"

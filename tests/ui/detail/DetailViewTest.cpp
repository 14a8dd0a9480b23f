// The detail pane: its view-model over real stores, and the view with screenshots.
#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include "ui/Screenshots.h"
#include "ui/UiFixture.h"
#include "ui/main/MainView.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/detail/ActionItemView.h"
#include "ui/main/detail/DetailView.h"
#include "ui/main/detail/DetailViewModel.h"
#include "ui/main/detail/TaskEditor.h"
#include "ui/main/detail/TranscriptView.h"

namespace {

using uitest::shoot;

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

class DetailViewModelTest : public StoresFixture {
protected:
    testsupport::ScopedTimeZone zone{"Asia/Tokyo"};
    const MinutesRecord& record = add(meeting());
    DetailViewModel vm{store, library, defaults, record.id,
                       [] { return at("2026-12-06T03:00:00Z"); }};

    const MinutesRecord& add(const MinutesResult& r) {
        store.add(r, "minutes", "a.m4a");
        QCoreApplication::processEvents();
        return store.records().front();
    }
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
    struct Case {
        const char* name;
        std::size_t index;
        std::function<void(DetailViewModel&)> edit;
        bool save;
        std::optional<LibraryTaskOverride> expected;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
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
    DetailViewModel m{store, library, defaults, add(r).id, now};
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

TEST_F(DetailViewModelTest, TabLabels) {
    MinutesResult r;
    EXPECT_EQ(DetailViewModel::tabLabels(r)[1], QStringLiteral("アクション"));
    r.todos = {todo("a"), todo("b", {}, {}, true), todo("c")};
    EXPECT_EQ(DetailViewModel::tabLabels(r), (QStringList{"要約", "アクション (3)", "文字起こし"}));
}

// The view, over the engine and the other services a window is built with.
class DetailViewTest : public StoresFixture {
protected:
    WindowServices services{store, library, defaults, dialogs};
    UiContext& ctx = services.ctx;
    MainViewModel main{store, library, defaults, dialogs};

    void SetUp() override { qputenv("TAVRO_REDUCE_MOTION", "1"); }
    void TearDown() override { qunsetenv("TAVRO_REDUCE_MOTION"); }

    std::unique_ptr<DetailView> show(const MinutesResult& r, QSize size = {820, 760}) {
        store.add(r, "minutes", "a.m4a");
        QCoreApplication::processEvents();
        auto view = std::make_unique<DetailView>(ctx, main, store.records().front().id);
        view->setFont(QFont(QStringLiteral("Noto Sans CJK JP")));
        view->resize(size);
        view->show();
        QCoreApplication::processEvents();
        return view;
    }

    static QStringList texts(QWidget* page) {
        QStringList out;
        for (QLabel* l : page->findChildren<QLabel*>()) out << l->text();
        return out;
    }
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
    EXPECT_EQ(view->tabButton(1)->text(), QStringLiteral("アクション (3)"));

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
    defaults.set(MainViewModel::kOnboardingKey, true);
    MinutesResult r = meeting();
    r.title = "週次<b>定例</b> &lt;";
    r.todos[0] = todo("ログイン画面の<table>" + r.summary + "<b>修正</b>する", "田中",
                      "2025年5月10日 10:00まで");
    store.add(r, "minutes", "a.m4a");
    QCoreApplication::processEvents();
    MainView window(ctx);
    window.resize(MainView::kMinimumSize);
    window.show();
    window.model().setSelectedID(store.records().front().id);
    auto* view = window.findChild<DetailView*>();
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
        shoot(window, QStringLiteral("detail-actions-minimum-%1").arg(tab));
    }
}

TEST_F(DetailViewTest, ActionTabBlocksFollowTheItemsAndAutonomy) {
    const struct {
        const char* name;
        std::vector<TodoItem> todos;
        bool autoAgent;
        bool mine, aiHeader, agent;
        std::vector<std::size_t> agentItems;
    } cases[] = {
        {"none", {}, true, false, false, false, {}},
        {"mixed", meeting().todos, false, true, true, true, {2}},
        {"all for the agent",
         {todo("a", {}, {}, true), todo("b", {}, {}, true)},
         false,
         false,
         true,
         true,
         {0, 1}},
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
    }
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

}  // namespace

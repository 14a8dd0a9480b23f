// The ask-across dialog against the fake service.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextDocumentFragment>
#include <QToolButton>

#include "DialogFixture.h"
#include "ui/main/HeaderView.h"
#include "ui/main/MainView.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/ToolbarButton.h"
#include "ui/main/dialogs/AskAllModel.h"
#include "ui/main/dialogs/AskAllView.h"
#include "ui/main/dialogs/DialogHost.h"
#include "ui/main/dialogs/ElidedCheckBox.h"

class AskAllTest : public WindowFixture {
protected:
    std::vector<MinutesRecord> records(int n) {
        for (int i = 0; i < n; ++i) addRecord("会議 " + std::to_string(i));
        return store.records();
    }
};

TEST_F(AskAllTest, ReferencesNameKnownRecordsAndCountLinesFromOne) {
    const auto all = records(2);
    const std::string known = all[0].id;
    const json::Value entries = json::Value::array({
        {{"meetingId", known}, {"line", 0}},
        {{"meetingId", "missing"}, {"line", 3}},
        {{"meetingId", 7}, {"line", 1}},
        {{"meetingId", known}, {"line", 2.5}},
        {{"meetingId", known}, {"line", "4"}},
        {{"meetingId", known}, {"line", -1}},
        {{"line", 1}},
        "not an object",
        {{"meetingId", all[1].id}, {"line", 41}},
    });
    const auto refs =
        AskAllModel::references(std::vector<json::Value>(entries.begin(), entries.end()), all);
    EXPECT_EQ(refs, (std::vector<AskReference>{{known, "会議 1 — 文字起こし 1行目"},
                                               {all[1].id, "会議 0 — 文字起こし 42行目"}}));
}

// The newest hundred are ticked on opening. Return obeys the button: nothing blank, nothing while
// a question runs, nothing logged out.
TEST_F(AskAllTest, ReturnAsksOnlyWhenTheButtonMay) {
    AskAllView view(new AskAllModel(records(150), defaults));
    view.show();
    EXPECT_EQ(view.toggles().size(), 100u);
    EXPECT_EQ(view.scopeDisclosure()->text(), QStringLiteral("検索対象（100件）"));
    EXPECT_EQ(view.toggles().front()->text(), QStringLiteral("会議 149"));
    for (QCheckBox* t : view.toggles()) EXPECT_TRUE(t->isChecked());
    view.toggles().front()->click();
    EXPECT_EQ(view.model().scopeTitle(), QStringLiteral("検索対象（99件）"));
    view.toggles().front()->click();
    const auto asked = [&] { return service.requests("POST", "/api/ask-all").size(); };
    const auto type = [&](const QString& text) {
        view.questionField()->setText(text);
        emit view.questionField()->textEdited(text);
        QTest::keyClick(view.questionField(), Qt::Key_Return);
    };

    type(QStringLiteral("決定事項は？"));
    EXPECT_TRUE(view.loginNotice()->isVisibleTo(&view));
    EXPECT_FALSE(view.model().isLoading()) << "logged out";

    logIn();
    EXPECT_FALSE(view.loginNotice()->isVisibleTo(&view));
    type(QStringLiteral("  \t"));
    EXPECT_FALSE(view.askButton()->isEnabled());
    EXPECT_FALSE(view.model().isLoading()) << "blank";

    service.script("POST", "/api/ask-all",
                   FakeService::Reply::late(std::chrono::milliseconds(300)));
    type(QStringLiteral("決定事項は？"));
    EXPECT_TRUE(view.model().isLoading());
    EXPECT_TRUE(view.progress()->isVisibleTo(&view));
    QTest::keyClick(view.questionField(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return !view.model().isLoading(); }));
    EXPECT_EQ(asked(), 1u) << "Return while loading sends nothing";
    EXPECT_FALSE(view.answerLabel()->text().isEmpty());

    // Nothing ticked: the client refuses before sending.
    for (QCheckBox* t : view.toggles()) t->click();
    view.askButton()->click();
    ASSERT_TRUE(waitFor([&] { return !view.model().isLoading(); }));
    EXPECT_EQ(view.errorLabel()->text(), QStringLiteral("検索対象の議事録を選択してください"));
    EXPECT_TRUE(view.referenceLinks().empty());
    EXPECT_EQ(asked(), 1u);
}

TEST_F(AskAllTest, AReferenceShowsItsRecordInTheMainWindow) {
    addRecord("別の会議");
    MinutesResult r;
    r.title =
        "R&D定例 <b>製品</b>ローンチ準備会議 &lt; 公開日・告知計画・FAQ拡充・価格改定の最終確認";
    r.transcript = {{"佐藤", "00:00", "公開日は1月15日で確定です。"}};
    store.add(r, "minutes", "launch.m4a");
    QCoreApplication::processEvents();
    defaults.set(MainViewModel::kOnboardingKey, true);
    logIn();
    MainView main(ctx);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));  // the sheet is asked for from the window
    main.model().setShowAskAll(true);
    AskAllView* view = main.dialogHost()->askAll();
    ASSERT_TRUE(view);
    EXPECT_EQ(view->toggles().front()->title(), QString::fromStdString(r.title));
    view->questionField()->setText(QStringLiteral("公開日はいつ？"));
    emit view->questionField()->textEdited(view->questionField()->text());
    view->askButton()->click();
    ASSERT_TRUE(waitFor([&] { return !view->model().isLoading(); }));
    ASSERT_EQ(view->referenceLinks().size(), 1u);
    QLabel* link = view->referenceLinks()[0];
    EXPECT_EQ(QTextDocumentFragment::fromHtml(link->text()).toPlainText(),
              QString::fromStdString(r.title) + QStringLiteral(" — 文字起こし 1行目"));
    EXPECT_FALSE(view->answerLabel()->text().isEmpty());
    EXPECT_EQ(view->errorLabel()->textFormat(), Qt::PlainText) << "service texts";
    // The answer and the links wrap within the width; nothing scrolls sideways.
    EXPECT_FALSE(view->answerArea()->horizontalScrollBar()->isVisible());
    EXPECT_LE(view->answerArea()->widget()->width(), view->answerArea()->viewport()->width());
    EXPECT_GE(link->height(), 2 * link->fontMetrics().height());
    shoot(*view, QStringLiteral("ask-across-answer"));

    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(20, link->fontMetrics().height() / 2));
    EXPECT_EQ(main.model().selectedID(), store.records().front().id);
    EXPECT_FALSE(main.model().showAskAll());
    EXPECT_TRUE(waitFor([&] { return main.dialogHost()->askAll() == nullptr; }));
}

// Opened from the header's button, the first time and again, the sheet takes what is typed at
// once into its question.
TEST_F(AskAllTest, TheQuestionHasTheKeyboardEachTimeTheSheetOpens) {
    addRecord("定例会議");
    defaults.set(MainViewModel::kOnboardingKey, true);
    MainView main(ctx);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    for (const QString& typed : {QStringLiteral("abc"), QStringLiteral("xyz")}) {
        SCOPED_TRACE(typed.toStdString());
        main.headerView()->askButton()->click();
        ASSERT_TRUE(waitFor([&] { return main.dialogHost()->askAll() != nullptr; }));
        AskAllView* view = main.dialogHost()->askAll();
        ASSERT_TRUE(waitFor([&] { return view->isActiveWindow(); }));
        EXPECT_EQ(QApplication::focusWidget(), view->questionField());
        // Keys go to the window, which hands them to whatever has the focus.
        for (const QChar c : typed) QTest::keyClick(view->windowHandle(), c.toLatin1());
        EXPECT_EQ(view->questionField()->text(), typed);
        EXPECT_EQ(view->model().question(), typed.toStdString());
        if (typed == QStringLiteral("abc")) shoot(*view, QStringLiteral("ask-across-typed"));
        view->reject();
        ASSERT_TRUE(waitFor([&] { return main.dialogHost()->askAll() == nullptr; }));
    }
}

// A long title is cut at the end in the scope list, whole in its tooltip; the lists scroll only
// when there is more than they show, and never sideways.
TEST_F(AskAllTest, LongTitlesAreCutAndOnlyWhatOverflowsScrolls) {
    const std::string longTitle =
        "R&D定例 <b>製品</b>ローンチ準備会議 — "
        "公開日・告知計画・FAQ拡充・価格改定の最終確認と次回までの宿題";
    addRecord(longTitle);
    addRecord("短い会議");
    struct Case {
        int more;  // records added besides the two
        bool scrolls;
    };
    for (const Case& c : {Case{0, false}, Case{10, true}}) {
        SCOPED_TRACE(c.more);
        for (int i = 0; i < c.more; ++i) addRecord("追加の会議 " + std::to_string(i));
        AskAllView view(new AskAllModel(store.records(), defaults));
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        EXPECT_FALSE(view.answerArea()->verticalScrollBar()->isVisible()) << "no answer yet";
        view.scopeDisclosure()->click();
        QScrollArea& list = *view.scopeList();
        ASSERT_TRUE(waitFor([&] { return list.isVisible() && list.viewport()->width() > 0; }));
        QCoreApplication::processEvents();
        EXPECT_EQ(list.verticalScrollBar()->isVisible(), c.scrolls);
        EXPECT_FALSE(list.horizontalScrollBar()->isVisible());
        EXPECT_LE(list.widget()->width(), list.viewport()->width());

        const ElidedCheckBox& cut = *view.toggles()[c.more + 1];
        const ElidedCheckBox& whole = *view.toggles()[c.more];
        ASSERT_EQ(cut.title().toStdString(), longTitle);
        EXPECT_TRUE(cut.text().endsWith(QStringLiteral("…"))) << cut.text().toStdString();
        EXPECT_TRUE(cut.text().startsWith(QStringLiteral("R&&D定例"))) << "cut at the end";
        EXPECT_LE(cut.geometry().right(), list.viewport()->width());
        EXPECT_EQ(QTextDocumentFragment::fromHtml(cut.toolTip()).toPlainText().toStdString(),
                  longTitle);
        EXPECT_EQ(whole.text(), QStringLiteral("短い会議"));
        EXPECT_TRUE(whole.toolTip().isEmpty());
        if (!c.scrolls) shoot(view, QStringLiteral("ask-across-scope"));
    }
}

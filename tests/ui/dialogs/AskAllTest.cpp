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
#include "ui/main/MainView.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/dialogs/AskAllModel.h"
#include "ui/main/dialogs/AskAllView.h"
#include "ui/main/dialogs/DialogHost.h"

using dialogtest::waitFor;

class AskAllTest : public WindowFixture {
protected:
    std::vector<MinutesRecord> records(int n) {
        for (int i = 0; i < n; ++i) addRecord("会議 " + std::to_string(i));
        return store.records();
    }
};

TEST_F(AskAllTest, TheNewestHundredAreTickedOnOpening) {
    AskAllView view(new AskAllModel(records(150), defaults));
    view.show();
    EXPECT_EQ(view.toggles().size(), 100u);
    EXPECT_EQ(view.scopeDisclosure()->text(), QStringLiteral("検索対象（100件）"));
    EXPECT_EQ(view.toggles().front()->text(), QStringLiteral("会議 149"));
    for (QCheckBox* t : view.toggles()) EXPECT_TRUE(t->isChecked());
    view.toggles().front()->click();
    EXPECT_EQ(view.model().scopeTitle(), QStringLiteral("検索対象（99件）"));
}

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

// Return obeys the button: nothing blank, nothing while a question runs, nothing logged out.
TEST_F(AskAllTest, ReturnAsksOnlyWhenTheButtonMay) {
    AskAllView view(new AskAllModel(records(3), defaults));
    view.show();
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

// Titles and answers read as written and wrap within the sheet; a link shows its record.
TEST_F(AskAllTest, AReferenceShowsItsRecordInTheMainWindow) {
    const std::string other = addRecord("別の会議").id;
    MinutesResult r;
    r.title = "R&D定例 <b>製品</b>ローンチ準備会議 &lt; 公開日・告知計画・FAQ拡充・価格改定の最終確認";
    r.transcript = {{"佐藤", "00:00", "公開日は1月15日で確定です。"}};
    store.add(r, "minutes", "launch.m4a");
    QCoreApplication::processEvents();
    const std::string launch = store.records().front().id;
    defaults.set(MainViewModel::kOnboardingKey, true);
    logIn();
    service.script(
        "POST", "/api/ask-all",
        FakeService::Reply::withJson(
            200, {{"answer", "公開日は1月15日に確定し、告知はその二週間前から段階的に始めます。"
                             "FAQの拡充と価格改定の最終確認は次回の定例で扱うことになりました。"},
                  {"refs", json::Value::array({{{"meetingId", launch}, {"line", 0}},
                                               {{"meetingId", other}, {"line", 11}}})}}));
    MainView main(ctx);
    main.show();
    main.model().setShowAskAll(true);
    AskAllView* view = main.dialogHost()->askAll();
    ASSERT_TRUE(view);
    const QString title = QString::fromStdString(r.title);
    QCheckBox* toggle = view->toggles().front();
    EXPECT_TRUE(QKeySequence::mnemonic(toggle->text()).isEmpty());
    EXPECT_EQ(QString(toggle->text()).replace(QStringLiteral("&&"), QStringLiteral("&")), title);

    view->questionField()->setText(QStringLiteral("公開日はいつ？"));
    emit view->questionField()->textEdited(view->questionField()->text());
    view->askButton()->click();
    ASSERT_TRUE(waitFor([&] { return !view->model().isLoading(); }));
    ASSERT_EQ(view->referenceLinks().size(), 2u);
    QLabel* link = view->referenceLinks()[0];
    EXPECT_EQ(QTextDocumentFragment::fromHtml(link->text()).toPlainText(),
              title + QStringLiteral(" — 文字起こし 1行目"));
    EXPECT_EQ(view->answerLabel()->textFormat(), Qt::PlainText);
    EXPECT_EQ(view->errorLabel()->textFormat(), Qt::PlainText);
    // Everything fits the width and wraps downwards.
    QScrollArea* area = view->answerArea();
    EXPECT_FALSE(area->horizontalScrollBar()->isVisible());
    EXPECT_LE(area->widget()->width(), area->viewport()->width());
    for (QWidget* w : {static_cast<QWidget*>(view->answerLabel()), static_cast<QWidget*>(link)})
        EXPECT_LE(w->geometry().right(), area->viewport()->width());
    EXPECT_GE(link->height(), 2 * link->fontMetrics().height()) << "the long title wraps";
    dialogtest::shoot(*view, QStringLiteral("ask-across-answer"));

    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(20, link->fontMetrics().height() / 2));
    EXPECT_EQ(main.model().selectedID(), launch);
    EXPECT_FALSE(main.model().showAskAll());
    EXPECT_TRUE(waitFor([&] { return main.dialogHost()->askAll() == nullptr; }));
}

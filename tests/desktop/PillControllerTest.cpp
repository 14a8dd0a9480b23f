#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include "FakeRecorder.h"
#include "desktop/FloatingPanel.h"
#include "desktop/MeetingPromptView.h"
#include "desktop/PillController.h"
#include "desktop/RecordingPillView.h"
#include "desktop/Stealth.h"
#include "support/TempDir.h"
#include "util/UserDefaults.h"

namespace {

using Phase = RecorderControl::Phase;
using namespace std::chrono_literals;

class PillControllerTest : public ::testing::Test {
protected:
    // The phase reaches the controller on a later turn of the event loop.
    void setPhase(Phase p) {
        rec_.setPhase(p);
        QCoreApplication::processEvents();
    }
    MeetingPromptView* promptView() {
        return ctl_.promptPanel() ? qobject_cast<MeetingPromptView*>(ctl_.promptPanel()->content())
                                  : nullptr;
    }
    void click(QWidget* w, QPoint at) {
        QTest::mouseClick(w, Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
    }

    testsupport::TempDir dir_;
    UserDefaults defaults_{dir_ / "defaults.json"};
    FakeRecorder rec_;
    PillController ctl_{rec_, defaults_};
};

TEST_F(PillControllerTest, PillFollowsThePhase) {
    EXPECT_EQ(ctl_.pillPanel(), nullptr);
    rec_.toggle();
    EXPECT_EQ(ctl_.pillPanel(), nullptr) << "shown just after the change, not inside it";
    QCoreApplication::processEvents();
    QPointer<FloatingPanel> pill = ctl_.pillPanel();
    ASSERT_NE(pill, nullptr);
    EXPECT_TRUE(pill->isVisible());
    EXPECT_EQ(pill->windowType(), Qt::Tool);
    EXPECT_TRUE(pill->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(pill->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(pill->windowFlags().testFlag(Qt::FramelessWindowHint));

    setPhase(Phase::processing);
    EXPECT_EQ(ctl_.pillPanel(), pill.data()) << "the same pill shows the processing state";
    setPhase(Phase::idle);
    EXPECT_EQ(ctl_.pillPanel(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(pill.isNull()) << "released at idle";

    setPhase(Phase::recording);
    EXPECT_NE(ctl_.pillPanel(), nullptr) << "each recording makes a new pill";
}

TEST_F(PillControllerTest, ShowFloatingPillSetting) {
    struct Case {
        const char* name;
        std::optional<DefaultsValue> value;
        bool pill;
    };
    const std::vector<Case> cases = {
        {"absent", std::nullopt, true},
        {"true", DefaultsValue(true), true},
        {"false", DefaultsValue(false), false},
        {"not a boolean", DefaultsValue("false"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.value)
            defaults_.set("showFloatingPill", *c.value);
        else
            defaults_.remove("showFloatingPill");
        ctl_.showMeetingPrompt(QStringLiteral("定例"));
        setPhase(Phase::recording);
        EXPECT_EQ(ctl_.pillPanel() != nullptr, c.pill);
        EXPECT_EQ(ctl_.promptPanel(), nullptr) << "a recording closes the prompt either way";
        setPhase(Phase::idle);
    }
}

TEST_F(PillControllerTest, PromptOnlyWhileIdle) {
    int sounds = 0;
    ctl_.setPromptSound([&] { ++sounds; });
    for (Phase p : {Phase::recording, Phase::processing}) {
        setPhase(p);
        ctl_.showMeetingPrompt(QStringLiteral("定例"));
        EXPECT_EQ(ctl_.promptPanel(), nullptr);
    }
    EXPECT_EQ(sounds, 0);
    setPhase(Phase::idle);
    ctl_.showMeetingPrompt(QStringLiteral("定例"));
    ASSERT_NE(promptView(), nullptr);
    EXPECT_EQ(promptView()->fullTitle(), QStringLiteral("「定例」が始まりました"));
    EXPECT_EQ(sounds, 1);
}

TEST_F(PillControllerTest, SecondPromptReplacesTheFirstAndRestartsTheTimer) {
    ctl_.setPromptLifetime(400ms);
    ctl_.showMeetingPrompt(QStringLiteral("A"));
    QPointer<FloatingPanel> first = ctl_.promptPanel();
    QTest::qWait(250);
    ctl_.showMeetingPrompt(QStringLiteral("B"));
    EXPECT_NE(ctl_.promptPanel(), first.data());
    EXPECT_EQ(promptView()->fullTitle(), QStringLiteral("「B」が始まりました"));
    QTest::qWait(250);  // past the first prompt's 400 ms
    EXPECT_NE(ctl_.promptPanel(), nullptr) << "the timer started again with the second prompt";
    EXPECT_TRUE(QTest::qWaitFor([&] { return ctl_.promptPanel() == nullptr; }, 2000));
}

TEST_F(PillControllerTest, SkipClosesAndCancelsTheDismissal) {
    ctl_.setPromptLifetime(200ms);
    ctl_.showMeetingPrompt(QStringLiteral("A"));
    MeetingPromptView* view = promptView();
    click(view, view->closeButtonRect().center());
    EXPECT_EQ(ctl_.promptPanel(), nullptr);
    // A prompt shown later is not closed by the cancelled timer of the first.
    QTest::qWait(100);
    ctl_.setPromptLifetime(10s);
    ctl_.showMeetingPrompt(QStringLiteral("B"));
    QTest::qWait(250);
    EXPECT_NE(ctl_.promptPanel(), nullptr);
    EXPECT_EQ(rec_.starts, 0);
}

TEST_F(PillControllerTest, StartButtonStartsARecordingAndThePillFollows) {
    ctl_.showMeetingPrompt(QStringLiteral("A"));
    MeetingPromptView* view = promptView();
    click(view, view->startButtonRect().center());
    EXPECT_EQ(rec_.starts, 1);
    EXPECT_EQ(ctl_.promptPanel(), nullptr);
    QCoreApplication::processEvents();
    EXPECT_NE(ctl_.pillPanel(), nullptr);
}

TEST_F(PillControllerTest, PillStopButtonToggles) {
    setPhase(Phase::recording);
    auto* pill = qobject_cast<RecordingPillView*>(ctl_.pillPanel()->content());
    ASSERT_NE(pill, nullptr);
    click(pill, pill->tileRect().center());
    EXPECT_EQ(rec_.toggles, 0) << "only the stop button stops";
    click(pill, pill->stopButtonRect().center());
    EXPECT_EQ(rec_.toggles, 1);
    EXPECT_EQ(rec_.phase(), Phase::processing);
    EXPECT_TRUE(pill->stopButtonRect().isEmpty());
}

TEST_F(PillControllerTest, PanelsSitAtTheRightEdge) {
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect v = screen->availableGeometry();
    setPhase(Phase::recording);
    ctl_.showMeetingPrompt(QStringLiteral("A"));  // not while recording
    EXPECT_EQ(ctl_.promptPanel(), nullptr);
    const QRect pill = ctl_.pillPanel()->geometry();
    EXPECT_EQ(pill.right() + 1, v.right() + 1 - 16);
    EXPECT_EQ(pill.top(), v.top() + 120);
    setPhase(Phase::idle);
    ctl_.showMeetingPrompt(QStringLiteral("A"));
    const QRect prompt = ctl_.promptPanel()->geometry();
    EXPECT_EQ(prompt.right() + 1, v.right() + 1 - 16);
    EXPECT_EQ(prompt.top(), v.top() + 60);
    EXPECT_EQ(prompt.width(), MeetingPromptView::kWidth);
}

}  // namespace

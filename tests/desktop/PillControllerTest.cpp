#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include "FakeRecorder.h"
#include "desktop/FloatingPanel.h"
#include "desktop/MeetingPromptView.h"
#include "desktop/PillController.h"
#include "desktop/RecordingPillView.h"
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
    MeetingPromptView* prompt() {
        return ctl_.promptPanel() ? qobject_cast<MeetingPromptView*>(ctl_.promptPanel()->content())
                                  : nullptr;
    }
    void click(QWidget* w, QPoint at) {
        QTest::mouseClick(w, Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
    }
    // At the right edge of the screen under the pointer, `top` below the top of its usable area,
    // once the window manager has placed the new window (on a busy machine, later than its map).
    static void expectAtRightEdge(FloatingPanel* panel, int top) {
        QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
        const QRect v = (screen ? screen : QGuiApplication::primaryScreen())->availableGeometry();
        const QPoint topRight(v.right() - 16, v.top() + top);
        (void)QTest::qWaitFor([&] { return panel->panelGeometry().topRight() == topRight; }, 5000);
        EXPECT_EQ(panel->panelGeometry().topRight(), topRight);
    }

    testsupport::TempDir dir_;
    UserDefaults defaults_{dir_ / "defaults.json"};
    FakeRecorder rec_;
    PillController ctl_{rec_, defaults_};
};

TEST_F(PillControllerTest, PillFollowsThePhase) {
    rec_.toggle();
    EXPECT_EQ(ctl_.pillPanel(), nullptr) << "shown just after the change, not inside it";
    QCoreApplication::processEvents();
    QPointer<FloatingPanel> pill = ctl_.pillPanel();
    ASSERT_NE(pill, nullptr);
    EXPECT_TRUE(pill->isVisible());
    expectAtRightEdge(pill, 120);

    setPhase(Phase::processing);
    EXPECT_EQ(ctl_.pillPanel(), pill.data()) << "the same pill shows the processing state";
    setPhase(Phase::idle);
    EXPECT_EQ(ctl_.pillPanel(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(pill.isNull()) << "released at idle";
}

// A recording closes the prompt whether or not the pill is shown.
TEST_F(PillControllerTest, ShowFloatingPillSetting) {
    const std::pair<std::optional<DefaultsValue>, bool> cases[] = {
        {std::nullopt, true}, {true, true}, {false, false}, {"false", true}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const auto& [value, shown] = cases[i];
        if (value)
            defaults_.set("showFloatingPill", *value);
        else
            defaults_.remove("showFloatingPill");
        ctl_.showMeetingPrompt(QStringLiteral("定例"));
        setPhase(Phase::recording);
        EXPECT_EQ(ctl_.pillPanel() != nullptr, shown);
        EXPECT_EQ(ctl_.promptPanel(), nullptr);
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
    ASSERT_NE(prompt(), nullptr);
    EXPECT_EQ(prompt()->fullTitle(), QStringLiteral("「定例」が始まりました"));
    EXPECT_EQ(sounds, 1);
    expectAtRightEdge(ctl_.promptPanel(), 60);
}

TEST_F(PillControllerTest, SecondPromptReplacesTheFirstAndRestartsTheTimer) {
    constexpr int kLifetime = 1000;
    ctl_.setPromptLifetime(std::chrono::milliseconds(kLifetime));
    ctl_.showMeetingPrompt(QStringLiteral("A"));
    QPointer<FloatingPanel> first = ctl_.promptPanel();
    QTest::qWait(kLifetime / 2);
    ctl_.showMeetingPrompt(QStringLiteral("B"));
    QElapsedTimer sinceSecond;
    sinceSecond.start();
    EXPECT_NE(ctl_.promptPanel(), first.data());
    EXPECT_EQ(prompt()->fullTitle(), QStringLiteral("「B」が始まりました"));
    // Measured rather than assumed, so that a slow turn of the event loop is not taken for an
    // early close. (A coarse timer may fire up to 5 % early.)
    ASSERT_TRUE(QTest::qWaitFor([&] { return ctl_.promptPanel() == nullptr; }, 10000));
    EXPECT_GT(sinceSecond.elapsed(), kLifetime * 9 / 10)
        << "the timer started again with the second prompt";
}

TEST_F(PillControllerTest, SkipClosesAndCancelsTheDismissal) {
    ctl_.setPromptLifetime(200ms);
    ctl_.showMeetingPrompt(QStringLiteral("A"));
    click(prompt(), prompt()->closeButtonRect().center());
    EXPECT_EQ(ctl_.promptPanel(), nullptr);
    // A prompt shown later is not closed by the cancelled timer of the first.
    QTest::qWait(100);
    ctl_.setPromptLifetime(10s);
    ctl_.showMeetingPrompt(QStringLiteral("B"));
    QTest::qWait(250);
    EXPECT_NE(ctl_.promptPanel(), nullptr);
    EXPECT_EQ(rec_.starts, 0);
}

// A panel dragged away is not remembered: the next pill and the next prompt start at the
// standard place again.
TEST_F(PillControllerTest, TheNextPanelStartsAtTheStandardPlace) {
    const auto shownAway = [](FloatingPanel* panel) {
        panel->move(200, 300);
        (void)QTest::qWaitFor([&] { return panel->pos() == QPoint(200, 300); }, 5000);
    };
    setPhase(Phase::recording);
    ASSERT_NE(ctl_.pillPanel(), nullptr);
    shownAway(ctl_.pillPanel());
    setPhase(Phase::idle);
    setPhase(Phase::recording);
    ASSERT_NE(ctl_.pillPanel(), nullptr);
    expectAtRightEdge(ctl_.pillPanel(), PillController::kPillTopOffset);
    setPhase(Phase::idle);

    ctl_.showMeetingPrompt(QStringLiteral("A"));
    ASSERT_NE(ctl_.promptPanel(), nullptr);
    shownAway(ctl_.promptPanel());
    ctl_.showMeetingPrompt(QStringLiteral("B"));
    expectAtRightEdge(ctl_.promptPanel(), PillController::kPromptTopOffset);
}

// The first click on a panel acts: the prompt's start button, then the pill's stop button.
TEST_F(PillControllerTest, ButtonsStartAndStop) {
    ctl_.showMeetingPrompt(QStringLiteral("A"));
    click(prompt(), prompt()->startButtonRect().center());
    EXPECT_EQ(rec_.starts, 1);
    EXPECT_EQ(ctl_.promptPanel(), nullptr);
    QCoreApplication::processEvents();
    ASSERT_NE(ctl_.pillPanel(), nullptr);
    auto* pill = qobject_cast<RecordingPillView*>(ctl_.pillPanel()->content());
    click(pill, pill->tileRect().center());
    EXPECT_EQ(rec_.toggles, 0) << "only the stop button stops";
    click(pill, pill->stopButtonRect().center());
    EXPECT_EQ(rec_.phase(), Phase::processing);
}

}  // namespace

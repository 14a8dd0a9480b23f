// The floating panels: their placement, the pill and the prompt drawn as still pictures, and
// the panels on the test X server.
#include <QCoreApplication>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QToolTip>
#include <QWindow>

#include <gtest/gtest.h>

#include "FakeRecorder.h"
#include "desktop/FloatingPanel.h"
#include "desktop/MeetingPromptView.h"
#include "desktop/PanelPlacement.h"
#include "desktop/RecordingPillView.h"
#include "desktop/WaveBars.h"
#include "desktop/WindowPlacement.h"
#include "platform/Compositing.h"
#include "support/TestEnv.h"
#include "ui/Screenshots.h"

namespace {

TEST(PanelPlacement, RightEdgeOfTheScreenUnderThePointer) {
    // A laptop screen with a top panel, and a second screen to its right with a dock on the left.
    const ScreenArea left{QRect(0, 0, 1440, 900), QRect(0, 28, 1440, 872)};
    const ScreenArea right{QRect(1440, -200, 1920, 1080), QRect(1500, -200, 1860, 1080)};
    const std::vector<ScreenArea> both = {left, right};
    const struct {
        QPoint pointer;
        std::vector<ScreenArea> screens;
        std::optional<ScreenArea> primary;
        int topOffset;
        std::optional<QPoint> origin;
    } cases[] = {
        {{100, 100}, both, left, 120, QPoint(1440 - 52 - 16, 28 + 120)},
        {{2000, 0}, both, left, 60, QPoint(3360 - 52 - 16, -200 + 60)},
        {{-50, -50}, both, left, 60, QPoint(1440 - 52 - 16, 28 + 60)},  // between: the primary
        {{0, 0}, {}, std::nullopt, 120, std::nullopt},
        {{5000, 5000}, {left}, std::nullopt, 120, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pointer.x());
        EXPECT_EQ(rightEdgeOrigin(c.pointer, c.screens, c.primary, QSize(52, 180), c.topOffset),
                  c.origin);
    }
}

TEST(WindowPlacement, MainWindowOpensOnAScreenAndFitsIt) {
    // A 1024x600 netbook with a 24-pixel panel, and a large screen to its right.
    const QRect small(0, 24, 1024, 576), large(1024, 0, 1920, 1080);
    const QMargins frame(2, 36, 2, 2);
    const struct {
        std::optional<QRect> saved;
        std::vector<QRect> screens;  // the first is the primary
        QRect placed;
    } cases[] = {
        {std::nullopt, {small}, QRect(2, 60, 1020, 538)},                            // all of it
        {std::nullopt, {large}, QRect(1434, 177, 1100, 760)},                        // centred
        {QRect(1100, 100, 1000, 700), {small, large}, QRect(1100, 100, 1000, 700)},  // kept
        {QRect(1100, 100, 300, 200), {large}, QRect(1100, 100, 920, 600)},           // minimum
        {QRect(2600, 900, 1000, 700), {small, large}, QRect(1942, 378, 1000, 700)},  // pulled in
        {QRect(3500, 100, 1000, 700), {small}, QRect(12, 60, 1000, 538)},  // its screen is gone
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WindowPlacement::restored(c.saved, {1100, 760}, {920, 600}, c.screens,
                                            c.screens.front(), frame),
                  c.placed);
    }
    EXPECT_EQ(WindowPlacement::fittedMinimum({920, 600}, small, frame), QSize(920, 538));
    // A window without a frame fits the whole usable area.
    EXPECT_EQ(WindowPlacement::restored(std::nullopt, {1100, 760}, {920, 600}, {small}, small, {}),
              small);
    EXPECT_EQ(WindowPlacement::fittedMinimum({920, 600}, small, {}), QSize(920, 576));
    EXPECT_EQ(
        WindowPlacement::centredOver(QSize(560, 560), QRect(2500, 600, 1000, 700), large, frame),
        QRect(2382, 518, 560, 560));
}

// Still frames, so the saved pictures are stable.
class PanelViews : public ::testing::Test {
protected:
    void SetUp() override { qputenv("TAVRO_REDUCE_MOTION", "1"); }
    void TearDown() override { qunsetenv("TAVRO_REDUCE_MOTION"); }

    // Shows and saves the widget, returning its size in device-independent pixels.
    static QSizeF shoot(QWidget& w, const QString& name) {
        w.show();
        const QImage img = uitest::shoot(w, name);
        return QSizeF(img.size()) / img.devicePixelRatio();
    }
};

TEST_F(PanelViews, PillRecordingThenProcessing) {
    FakeRecorder rec;
    rec.start();
    rec.setElapsed(75);
    RecordingPillView pill(rec);
    const QSizeF recording = shoot(pill, QStringLiteral("pill-recording"));
    EXPECT_EQ(recording.width(), RecordingPillView::kWidth);
    EXPECT_GT(recording.height(), recording.width() * 2) << "a narrow vertical capsule";
    EXPECT_EQ(pill.clockLabel(), QStringLiteral("1:15"));
    EXPECT_TRUE(pill.showsStopButton());
    EXPECT_TRUE(pill.findChild<WaveBars*>()->isVisible());

    rec.toggle();
    EXPECT_EQ(shoot(pill, QStringLiteral("pill-processing")), recording)
        << "the panel keeps the size it was made with";
    EXPECT_FALSE(pill.showsStopButton());
    EXPECT_TRUE(pill.stopButtonRect().isEmpty());
    EXPECT_FALSE(pill.findChild<WaveBars*>()->isVisible()) << "no bars while processing";
}

TEST_F(PanelViews, MeetingPrompt) {
    const QString longTitle =
        QStringLiteral("四半期の事業計画と来期の予算配分についての全社横断レビュー会議");
    for (const QString& title : {QStringLiteral("定例"), longTitle}) {
        int presses = 0;
        MeetingPromptView view(
            title, [&] { ++presses; }, [&] { ++presses; });
        const QSizeF size = shoot(view, title == longTitle ? QStringLiteral("prompt-long-title")
                                                           : QStringLiteral("prompt"));
        EXPECT_EQ(size.width(), MeetingPromptView::kWidth);
        EXPECT_LT(size.height(), 100);
        const QString full = QStringLiteral("「") + title + QStringLiteral("」が始まりました");
        EXPECT_EQ(view.fullTitle(), full);
        if (title == longTitle)
            EXPECT_TRUE(view.shownTitle().endsWith(QChar(0x2026))) << "cut to one line";
        else
            EXPECT_EQ(view.shownTitle(), full);
        EXPECT_LT(view.startButtonRect().right(), view.closeButtonRect().left());
        EXPECT_EQ(presses, 0);
    }
}

// What the window manager made of the panel, as the desktop's own tool reads it.
QString windowManagerState(const QWidget& w) {
    QProcess p;
    p.start(QStringLiteral("xprop"),
            {QStringLiteral("-id"), QString::number(w.winId()), QStringLiteral("_NET_WM_DESKTOP"),
             QStringLiteral("_NET_WM_STATE")});
    return p.waitForFinished(10000) ? QString::fromUtf8(p.readAllStandardOutput()) : QString();
}

TEST(FloatingPanel, OnEveryDesktopAboveOthersWithoutFocus) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    FloatingPanel panel(new QLabel(QStringLiteral("pill")));
    panel.placeAtRightEdge(120);
    panel.orderFront();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));

    QString state;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return (state = windowManagerState(panel)).contains("(CARDINAL) = 4294967295"); },
        5000))
        << "the window manager keeps it on all desktops: " << state.toStdString();
    EXPECT_TRUE(state.contains("_NET_WM_STATE_ABOVE")) << state.toStdString();
    QCoreApplication::processEvents();
    EXPECT_FALSE(panel.isActiveWindow()) << "showing it does not take the focus";
}

// The test X server has no compositing manager, so the rounded panels are cut to their shape.
// Over a light and a dark window an edge sets each apart, and their buttons' help shows though
// they never become active.
TEST(FloatingPanel, ShapedWithoutCompositing) {
    TAVRO_REQUIRE_ENV("X server (DISPLAY)", testsupport::probeDisplay());
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    ASSERT_FALSE(desktopComposites());
    FakeRecorder rec;
    rec.start();
    auto* pill = new RecordingPillView(rec);
    FloatingPanel panel(pill);
    panel.orderFront();
    const QRegion mask = panel.mask();
    EXPECT_TRUE(mask.contains(panel.rect().center()));
    EXPECT_FALSE(mask.contains(QPoint(0, 0))) << "the capsule's corner is cut away";

    auto* card = new MeetingPromptView(QStringLiteral("定例"), {}, {});
    FloatingPanel prompt(card);
    const QRect area(200, 150, 600, 260);
    panel.move(area.topLeft() + QPoint(30, 30));
    prompt.move(area.topLeft() + QPoint(120, 30));
    for (const QColor behind : {QColor(Qt::white), QColor(32, 32, 32)}) {
        QWidget backdrop(nullptr, Qt::FramelessWindowHint);
        backdrop.setStyleSheet(QStringLiteral("background: ") + behind.name());
        backdrop.setGeometry(area);
        backdrop.show();
        panel.orderFront();
        prompt.orderFront();
        QImage shot;
        EXPECT_TRUE(QTest::qWaitFor([&] {  // the prompt's edge, halfway down, stands out
            shot = panel.screen()->grabWindow(0).toImage();
            const QColor edge = shot.pixelColor(prompt.pos() + QPoint(0, prompt.height() / 2));
            return shot.pixelColor(area.topLeft()) == behind &&
                   std::abs(edge.lightness() - behind.lightness()) > 60;
        }));
        shot.copy(area).save(QStringLiteral(TAVRO_ARTIFACT_DIR "/panels-over-") + behind.name() +
                             QStringLiteral(".png"));
    }
    auto shows = [](QWidget* view, QRect button, const QString& help) {
        QTest::mouseMove(view, button.center());
        return QTest::qWaitFor([&] { return QToolTip::isVisible() && QToolTip::text() == help; });
    };
    EXPECT_TRUE(shows(pill, pill->stopButtonRect(), RecordingPillView::kStopHelp));
    EXPECT_TRUE(shows(card, card->closeButtonRect(), MeetingPromptView::kSkipHelp));
}

}  // namespace

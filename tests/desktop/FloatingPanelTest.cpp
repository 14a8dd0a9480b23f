// The floating panels: their placement, their shadow, the pill's clock digits and motion, the
// pill and the prompt drawn as still pictures, and the panels on the test X server, with and
// without a compositing manager.
#include <QCoreApplication>
#include <QDir>
#include <QFontInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QScopeGuard>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QToolTip>
#include <QWindow>
#include <QtMath>

#include <memory>
#include <set>

#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include "FakeRecorder.h"
#include "desktop/FloatingPanel.h"
#include "desktop/MeetingPromptView.h"
#include "desktop/PanelPlacement.h"
#include "desktop/PanelShadow.h"
#include "desktop/PanelStyle.h"
#include "desktop/RecordingPillView.h"
#include "desktop/TabularDigits.h"
#include "desktop/UsableArea.h"
#include "desktop/WaveBars.h"
#include "desktop/WindowPlacement.h"
#include "platform/Compositing.h"
#include "platform/DesktopMotionSetting.h"
#include "support/BottomPanel.h"
#include "support/ScopedGnomeSetting.h"
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

// A dragged panel stops at the usable area's edges of the screen under the pointer: never over
// the panel at the bottom, never above the screen, and onto a second screen with the pointer.
TEST(PanelPlacement, ADraggedPanelStaysWithinTheUsableArea) {
    // A 1920x1200 screen with a 40-pixel panel at the bottom, and a second one to its right.
    const ScreenArea left{QRect(0, 0, 1920, 1200), QRect(0, 0, 1920, 1160)};
    const ScreenArea right{QRect(1920, 0, 1280, 1024), QRect(1920, 24, 1280, 1000)};
    const std::vector<ScreenArea> both = {left, right};
    const QSize pill(52, 180);
    const struct {
        QPoint wanted, pointer;
        std::vector<ScreenArea> screens;
        QPoint origin;
    } cases[] = {
        {{800, 400}, {826, 420}, both, {800, 400}},                     // inside: where it is led
        {{1874, 1135}, {1900, 1190}, {left}, {1920 - 52, 1160 - 180}},  // the corner
        {{600, -60}, {626, 5}, both, {600, 0}},                         // above the screen
        {{-30, 500}, {0, 520}, both, {0, 500}},                         // off the left side
        {{1900, 300}, {1930, 320}, both, {1920, 300}},  // across, onto the second screen
        {{3190, 900}, {3199, 1000}, both, {3200 - 52, 1024 - 180}},
        {{3190, 900}, {5000, 900}, {}, {3190, 900}},  // no screen at all: left as it is
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.wanted.x() << "," << c.wanted.y());
        const std::optional<ScreenArea> primary =
            c.screens.empty() ? std::nullopt : std::optional(c.screens.front());
        EXPECT_EQ(draggedOrigin(QRect(c.wanted, pill), c.pointer, c.screens, primary), c.origin);
    }
}

// Black, full under the panel, fading out step by step within the margin; further below than
// above.
TEST(PanelShadow, FadesOutWithinTheMarginAndFallsDownwards) {
    QImage capsule(52, 180, QImage::Format_ARGB32_Premultiplied);  // the pill's
    capsule.fill(Qt::transparent);
    {
        QPainter p(&capsule);
        p.setBrush(Qt::white);
        p.drawRoundedRect(capsule.rect(), 26, 26);
    }
    const QImage shadow = PanelShadow::of(capsule);
    const int m = PanelShadow::kMargin, w = shadow.width(), h = shadow.height();
    ASSERT_EQ(shadow.size(), capsule.size() + QSize(2 * m, 2 * m));
    const auto alpha = [&](int x, int y) { return qAlpha(shadow.pixel(x, y)); };
    int coloured = 0, onTheRim = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            coloured += (shadow.pixel(x, y) & 0xffffff) != 0;
            onTheRim += alpha(x, y) && (x % (w - 1) == 0 || y % (h - 1) == 0);
        }
    EXPECT_EQ(coloured, 0);
    EXPECT_EQ(onTheRim, 0);
    const int cx = m + 26, middle = m + 90, top = m, bottom = m + 179;
    EXPECT_EQ(alpha(cx, middle), qRound(PanelShadow::kOpacity * 255));
    for (int x = m; x > 0; --x) EXPECT_GE(alpha(x, middle), alpha(x - 1, middle)) << x;
    EXPECT_GT(alpha(m - 3, middle), 0);
    for (const int d : {2, 5, 8}) EXPECT_GT(alpha(cx, bottom + d), alpha(cx, top - d)) << d;

    QImage nothing(10, 10, QImage::Format_ARGB32_Premultiplied), none(40, 40, nothing.format());
    nothing.fill(Qt::transparent);
    none.fill(Qt::transparent);
    EXPECT_EQ(PanelShadow::of(nothing), none) << "no shape, no shadow";
}

// The clocks' fonts have digits of one width, and the pill's clock keeps its width; a font whose
// digits differ is laid out in cells of one width, what follows the digits on the same pixels.
TEST(TabularDigits, ClocksKeepTheirWidth) {
    for (const QFont& font :
         {RecordingPillView::clockFont(), PanelStyle::font(13), PanelStyle::font(17)})
        EXPECT_TRUE(TabularDigits::native(font)) << QFontInfo(font).family().toStdString();
    FakeRecorder rec;
    rec.start();
    RecordingPillView pill(rec);
    for (const auto& [from, to] : {std::pair{0, 600}, std::pair{600, 3600}}) {
        std::set<qreal> widths;
        for (int s = from; s < to; ++s) {
            rec.setElapsed(s);
            widths.insert(pill.clockTextRect().width());
        }
        EXPECT_EQ(widths.size(), 1u) << from;
    }

    QFont serif(QStringLiteral("Noto Serif CJK JP"));
    serif.setPixelSize(24);
    ASSERT_EQ(QFontInfo(serif).family(), serif.family()) << "fonts-noto-cjk is needed";
    ASSERT_FALSE(TabularDigits::native(serif));
    const QFontMetricsF fm(serif);
    std::set<qreal> widths;
    for (int s = 0; s < 600; ++s)
        widths.insert(TabularDigits::width(
            serif, QStringLiteral("停止 %1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'))));
    EXPECT_EQ(widths.size(), 1u);
    EXPECT_GE(*widths.begin(), fm.horizontalAdvance(QStringLiteral("停止 0:00")));
    const QRect colon(qCeil(TabularDigits::width(serif, "00")), 0, int(fm.horizontalAdvance(':')),
                      40);
    const auto drawn = [&](const char* text) {
        QImage img(200, 40, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::white);
        QPainter p(&img);
        p.setFont(serif);
        TabularDigits::draw(p, img.rect(), Qt::AlignLeft | Qt::AlignVCenter, text);
        return img.copy(colon);
    };
    EXPECT_NE(drawn("11:11"), drawn("    ")) << "the colon is there";
    EXPECT_EQ(drawn("11:11"), drawn("00:00"));
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

// Where the compositor keeps its panels to itself (Wayland reports the whole screen as usable),
// room is kept for them; what a platform does report is taken as it is.
TEST(UsableArea, RoomIsKeptForPanelsOnlyWhereTheyAreUnknown) {
    const QRect screen(0, 0, 1024, 600), belowPanel(0, 32, 1024, 568);
    const struct {
        QRect available;
        bool wayland;
        QRect usable;
    } cases[] = {
        {belowPanel, false, belowPanel},
        {screen, false, screen},  // an X11 desktop without panels
        {belowPanel, true, belowPanel},
        {screen, true, QRect(48, 48, 928, 504)},
    };
    for (const auto& c : cases) EXPECT_EQ(UsableArea::of(screen, c.available, c.wayland), c.usable);
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

// Shown while the desktop's setting to reduce motion turns, the bars and the spinner stop and
// start again.
TEST(RecordingPill, FollowsTheDesktopSettingWhileShown) {
    const char* const schema = "org.gnome.desktop.interface";
    TAVRO_REQUIRE_ENV("GNOME settings in memory", testsupport::ScopedGnomeSetting::probe(schema));
    qunsetenv("TAVRO_REDUCE_MOTION");
    testsupport::ScopedGnomeSetting gnome(schema, "enable-animations");
    FakeRecorder rec;
    rec.start();
    RecordingPillView pill(rec);
    pill.show();
    const WaveBars* bars = pill.findChild<WaveBars*>();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bars->moving(); }, 20000));

    gnome.set(false);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return DesktopMotionSetting::shared().reduceMotion(); }, 20000));
    EXPECT_FALSE(bars->moving());
    uitest::shoot(pill, QStringLiteral("pill-recording-desktop-still"));
    rec.toggle();  // processing
    EXPECT_FALSE(pill.spinning());
    gnome.set(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return pill.spinning(); }, 20000));
    rec.setPhase(RecorderControl::Phase::recording);
    EXPECT_TRUE(bars->moving());
    gnome.set(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !bars->moving(); }, 20000));
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
    EXPECT_FALSE(panel.hasShadow());
    EXPECT_EQ(panel.size(), pill->size()) << "no margin around the pill";
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

// A plain window behind the panels that counts the presses and the motions it gets.
struct Backdrop : QWidget {
    explicit Backdrop(const QColor& c) : QWidget(nullptr, Qt::FramelessWindowHint) {
        setStyleSheet(QStringLiteral("background: ") + c.name());
        setMouseTracking(true);
    }
    void mousePressEvent(QMouseEvent*) override { ++presses; }
    void mouseMoveEvent(QMouseEvent*) override { ++moves; }
    int presses = 0;
    int moves = 0;
};

// A real click of the X server's pointer, so that the server decides which window gets it.
bool clickAt(QPoint at) {
    QProcess x;
    x.start(QStringLiteral("xdotool"), {"mousemove", "--sync", QString::number(at.x()),
                                        QString::number(at.y()), "click", "1"});
    return x.waitForFinished(20000) && x.exitStatus() == QProcess::NormalExit && x.exitCode() == 0;
}

bool xdo(const QStringList& args) {
    QProcess x;
    x.start(QStringLiteral("xdotool"), args);
    return x.waitForFinished(20000) && x.exitStatus() == QProcess::NormalExit && x.exitCode() == 0;
}
QStringList to(QPoint p) {
    return {"mousemove", "--sync", QString::number(p.x()), QString::number(p.y())};
}

// Where the X server has the window: Qt does not always hear of a tool window's move.
QPoint at(QWidget& w) {
    auto* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const auto window = xcb_window_t(w.winId());
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_translate_coordinates_reply_t* t = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, window, root, 0, 0), nullptr);
    const QPoint p = t ? QPoint(t->dst_x, t->dst_y) : QPoint();
    free(t);
    return p;
}

// A click on a panel's background, press and release at once as a tap sends them, leaves the
// panel in place and the pointer free, also over and over; a drag with the button held moves it
// as far as the pointer went.
TEST(FloatingPanel, AClickLeavesItInPlaceADragMovesIt) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    TAVRO_REQUIRE_ENV("xdotool", !QStandardPaths::findExecutable("xdotool").isEmpty());
    FakeRecorder rec;
    rec.start();
    auto* pill = new RecordingPillView(rec);
    FloatingPanel panel(pill);
    Backdrop backdrop(Qt::white);
    backdrop.setGeometry(100, 100, 260, 300);
    backdrop.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&backdrop));
    panel.move(500, 150);
    panel.orderFront();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    const QPoint placed = at(panel);
    const QPoint grip = pill->mapToGlobal(pill->tileRect().center());
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(xdo(to(grip) + QStringList{"click", "1"}));
        // A panel stuck to the pointer would have the window manager hold it: no motion here.
        const int moves = backdrop.moves;
        ASSERT_TRUE(xdo(to(QPoint(200 + i * 10, 250))));
        EXPECT_TRUE(QTest::qWaitFor([&] { return backdrop.moves > moves; }, 20000));
        EXPECT_EQ(at(panel), placed);
    }
    ASSERT_TRUE(xdo(to(grip) + QStringList{"mousedown", "1"}));
    const auto release = qScopeGuard([] { xdo({"mouseup", "1"}); });
    const QPoint by(-60, 40);
    // The window manager sees only motion after its grab: the last step repeats until it is there.
    ASSERT_TRUE(xdo(to(grip + by / 4)));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return at(panel) == placed + by ||
                   (xdo(to(grip + by + QPoint(1, 0)) + to(grip + by)) && false);
        },
        20000))
        << at(panel).x() << "," << at(panel).y() << " for " << (placed + by).x() << ","
        << (placed + by).y();
}

// Dragged far past the screen's corner or its top, the pill and the prompt stop with all of
// them on the screen and clear of the panel at its bottom.
TEST(FloatingPanel, ADragKeepsThePanelWithinTheWorkArea) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    TAVRO_REQUIRE_ENV("xdotool", !QStandardPaths::findExecutable("xdotool").isEmpty());
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect whole = screen->geometry();
    testsupport::BottomPanel bar(48);
    ASSERT_TRUE(bar.ok());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return screen->availableGeometry().height() == whole.height() - 48; }, 20000));
    const QRect area = screen->availableGeometry();
    Backdrop desk(Qt::white);  // so that the pictures show where the usable area ends
    desk.setGeometry(area);
    desk.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&desk));

    FakeRecorder rec;
    rec.start();
    auto* pill = new RecordingPillView(rec);
    auto* card = new MeetingPromptView(QStringLiteral("定例"), {}, {});
    const struct {
        FloatingPanel* panel;
        QPoint grip;  // on the background, in the content
        const char* name;
    } cases[] = {
        {new FloatingPanel(pill), pill->tileRect().center(), "pill"},
        {new FloatingPanel(card), QPoint(card->sizeHint().width() / 2, 6), "prompt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<FloatingPanel> panel(c.panel);
        QWidget* content = panel->content();
        panel->move(area.center() - panel->rect().center());
        panel->orderFront();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
        const auto seen = [&] { return QRect(at(*panel) + content->pos(), content->size()); };
        const struct {
            QPoint pointer;  // where the drag ends
            QPoint topLeft;  // where the panel as seen stops
        } drags[] = {
            {whole.bottomRight() - QPoint(2, 2),
             area.bottomRight() - QPoint(content->width(), content->height()) + QPoint(1, 1)},
            {QPoint(area.center().x(), 1), QPoint(area.center().x() - c.grip.x(), area.top())},
        };
        for (const auto& d : drags) {
            const QPoint grip = seen().topLeft() + c.grip;
            ASSERT_TRUE(xdo(to(grip) + QStringList{"mousedown", "1"}));
            const auto release = qScopeGuard([] { xdo({"mouseup", "1"}); });
            ASSERT_TRUE(xdo(to(grip + (d.pointer - grip) / 4)));
            EXPECT_TRUE(QTest::qWaitFor(
                [&] {
                    return seen().topLeft() == d.topLeft ||
                           (xdo(to(d.pointer + QPoint(-1, 0)) + to(d.pointer)) && false);
                },
                20000))
                << seen().x() << "," << seen().y() << " for " << d.topLeft.x() << ","
                << d.topLeft.y();
            EXPECT_TRUE(area.contains(seen()));
            if (d.topLeft.y() > area.top()) {  // the corner, with the bottom panel below
                const QRect around = seen().adjusted(-80, -40, 0, 48).intersected(whole);
                QDir().mkpath(QStringLiteral(TAVRO_ARTIFACT_DIR));
                EXPECT_TRUE(screen->grabWindow(0).copy(around).save(
                    QStringLiteral(TAVRO_ARTIFACT_DIR "/panel-dragged-to-the-corner-") +
                    QLatin1String(c.name) + QStringLiteral(".png")));
            }
        }
    }
}

// Under a compositing manager the panels cast a soft shadow over a light and a dark window, their
// rounded corners show what lies behind, the panel as seen keeps its place at the edge, and a
// click in the shadow reaches the window below.
TEST(FloatingPanel, ShadowWhereADesktopComposites) {
    TAVRO_REQUIRE_ENV("X server (DISPLAY)", testsupport::probeDisplay());
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    TAVRO_REQUIRE_ENV("xdotool", !QStandardPaths::findExecutable("xdotool").isEmpty());
    QProcess compositor;  // a compositing manager while the test runs
    compositor.setProcessChannelMode(QProcess::ForwardedChannels);
    compositor.start(QStringLiteral("xcompmgr"), QStringList());
    TAVRO_REQUIRE_ENV(
        "compositing manager (xcompmgr)",
        compositor.waitForStarted(10000) && QTest::qWaitFor(desktopComposites, 20000));
    const auto uncomposited = qScopeGuard([&] {
        compositor.terminate();
        EXPECT_TRUE(compositor.waitForFinished(20000));
        EXPECT_TRUE(QTest::qWaitFor([] { return !desktopComposites(); }, 20000));
    });

    FakeRecorder rec;
    rec.start();
    auto* pill = new RecordingPillView(rec);
    FloatingPanel panel(pill);
    const int m = PanelShadow::kMargin;
    ASSERT_TRUE(panel.hasShadow());
    EXPECT_EQ(panel.size(), pill->size() + QSize(2 * m, 2 * m));
    EXPECT_EQ(pill->pos(), QPoint(m, m));
    panel.placeAtRightEdge(120);
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    const QRect v = (screen ? screen : QGuiApplication::primaryScreen())->availableGeometry();
    EXPECT_EQ(panel.panelGeometry().topRight(), QPoint(v.right() - 16, v.top() + 120))
        << "the pill, not its shadow, is 16 from the edge";

    int skips = 0;
    auto* card = new MeetingPromptView(QStringLiteral("定例"), {}, [&] { ++skips; });
    FloatingPanel prompt(card);
    const QRect area(200, 150, 620, 300);
    panel.move(area.topLeft() + QPoint(30, 30));
    prompt.move(area.topLeft() + QPoint(120, 30));
    for (const QColor behind : {QColor(Qt::white), QColor(32, 32, 32)}) {
        SCOPED_TRACE(behind.name().toStdString());
        Backdrop backdrop(behind);
        backdrop.setGeometry(area);
        backdrop.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&backdrop));
        panel.orderFront();
        prompt.orderFront();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&prompt));
        // Darker in the shadow below the card, untouched past it, the background in the cut
        // corner.
        const QRect seen = prompt.panelGeometry();
        const QPoint under(seen.center().x(), seen.bottom() + 3);
        const QPoint beyond(seen.center().x(), prompt.geometry().bottom() + 2);
        QImage shot;
        const bool shadowed = QTest::qWaitFor([&] {
            shot = panel.screen()->grabWindow(0).toImage();
            return shot.pixelColor(beyond) == behind &&
                   shot.pixelColor(under).lightness() < std::min(behind.lightness(), 235) &&
                   std::abs(shot.pixelColor(seen.topLeft() + QPoint(1, 1)).lightness() -
                            behind.lightness()) < 40;
        });
        shot.copy(area).save(QStringLiteral(TAVRO_ARTIFACT_DIR "/panels-shadow-over-") +
                             behind.name() + QStringLiteral(".png"));
        EXPECT_TRUE(shadowed) << "see the picture saved";

        // The shadow lets the click through to the window below; the card takes its own.
        ASSERT_TRUE(clickAt(QPoint(seen.left() - m / 2, seen.center().y())));
        EXPECT_TRUE(QTest::qWaitFor([&] { return backdrop.presses == 1; }, 20000));
        ASSERT_TRUE(clickAt(card->mapToGlobal(card->closeButtonRect().center())));
        EXPECT_TRUE(QTest::qWaitFor([&] { return skips == (behind == Qt::white ? 1 : 2); }, 20000));
        EXPECT_EQ(backdrop.presses, 1);
    }
}

// A compositing manager that leaves while the pill is shown takes the shadow along: its margin
// shows what lies behind, never black; one that comes back brings the shadow back.
TEST(FloatingPanel, ShadowFollowsTheCompositor) {
    TAVRO_REQUIRE_ENV("X server (DISPLAY)", testsupport::probeDisplay());
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QProcess compositor;
    const auto start = [&] {
        compositor.start(QStringLiteral("xcompmgr"), QStringList());
        return compositor.waitForStarted(10000) && QTest::qWaitFor(desktopComposites, 20000);
    };
    TAVRO_REQUIRE_ENV("compositing manager (xcompmgr)", start());
    const auto stop = [&] {
        compositor.terminate();
        return compositor.waitForFinished(20000) &&
               QTest::qWaitFor([] { return !desktopComposites(); }, 20000);
    };
    const auto stopped = qScopeGuard([&] { stop(); });
    FakeRecorder rec;
    rec.start();
    FloatingPanel panel(new RecordingPillView(rec));
    ASSERT_TRUE(panel.hasShadow());
    Backdrop backdrop(Qt::white);
    const QRect area(200, 150, 200, 300);
    backdrop.setGeometry(area);
    backdrop.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&backdrop));
    panel.move(area.topLeft() + QPoint(40, 30));
    panel.orderFront();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    const QRect seen = panel.panelGeometry();
    const QPoint margin(seen.center().x(), seen.bottom() + 4);  // in the shadow below the pill
    const auto looks = [&](bool shadowed, const char* name) {
        QImage shot;
        const bool ok = QTest::qWaitFor([&] {
            shot = panel.screen()->grabWindow(0).toImage();
            const QColor c = shot.pixelColor(margin);
            return shadowed ? c.lightness() < 250 && c.lightness() > 120 : c == QColor(Qt::white);
        });
        shot.copy(area).save(QStringLiteral(TAVRO_ARTIFACT_DIR "/") + QLatin1String(name));
        return ok;
    };
    EXPECT_TRUE(looks(true, "pill-shadow-composited.png"));
    ASSERT_TRUE(stop());
    EXPECT_TRUE(looks(false, "pill-shadow-compositor-gone.png")) << "see the picture saved";
    ASSERT_TRUE(start());
    EXPECT_TRUE(looks(true, "pill-shadow-compositor-back.png"));
}

}  // namespace

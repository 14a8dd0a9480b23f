// The main window's own chrome on the test X server, with its window manager: no frame, the
// strip at the top edge, moving by the strip and the background, the strip's buttons, resizing
// from the edges, and all of it again after the window was activated and went full screen.
// Pointer input is synthesised (xdotool) and what counts is where the X server has the window.
#include <QAbstractItemModel>
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>

#include <xcb/xcb.h>

#include "Screenshots.h"
#include "UiFixture.h"
#include "support/TestEnv.h"
#include "ui/main/HeaderView.h"
#include "ui/main/MainView.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/WindowChromeConfigurator.h"
#include "ui/main/WindowControlButton.h"
#include "ui/main/WindowEdgeGrip.h"
#include "ui/main/WindowStrip.h"
#include "ui/main/sidebar/RecordListView.h"

namespace {

using uitest::shoot;
using uitest::waitFor;

// Where Qt has seen the pointer pressed, moved and released, so that a test goes on only once
// the application has taken in what it was sent.
class InputSpy : public QObject {
public:
    InputSpy() { qApp->installEventFilter(this); }
    ~InputSpy() override { qApp->removeEventFilter(this); }
    std::optional<QPoint> pressed, moved, released;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        const auto at = [e] { return static_cast<QMouseEvent*>(e)->globalPosition().toPoint(); };
        if (e->type() == QEvent::MouseButtonPress) pressed = at();
        if (e->type() == QEvent::MouseMove) moved = at();
        if (e->type() == QEvent::MouseButtonRelease) released = at();
        return false;
    }
};

// The window's rectangle as the X server has it, in root coordinates.
QRect serverRect(QWidget& w) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11->connection();
    const auto window = xcb_window_t(w.winId());
    xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    if (!g) return {};
    xcb_translate_coordinates_reply_t* t = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, window, g->root, 0, 0), nullptr);
    const QRect r = t ? QRect(t->dst_x, t->dst_y, g->width, g->height) : QRect();
    free(t);
    free(g);
    return r;
}

// An X property of the window as xprop prints it.
QString property(QWidget& w, const char* name) {
    QProcess xprop;
    xprop.start("xprop", {"-id", QString::number(w.winId()), name});
    xprop.waitForFinished(5000);
    return QString::fromLatin1(xprop.readAllStandardOutput()).trimmed();
}

// Runs xdotool with the event loop turning, so that the window answers meanwhile.
bool xdo(const QStringList& args) {
    QProcess p;
    p.start("xdotool", args);
    return waitFor([&] { return p.state() == QProcess::NotRunning; }, 10000) &&
           p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
QStringList to(QPoint p) {
    return {"mousemove", QString::number(p.x()), QString::number(p.y())};
}

class WindowChromeTest : public WindowFixture {
protected:
    static constexpr QRect kPlace{100, 80, 920, 600};

    void SetUp() override {
        WindowFixture::SetUp();
        defaults.set(MainViewModel::kOnboardingKey, true);
        for (const char* title : {"週次定例ミーティング", "採用面接", "予算会議"}) addRecord(title);
    }
    void TearDown() override {
        if (view) xdo({"mouseup", "1"});  // never leave the button down for the next test
        view.reset();
        WindowFixture::TearDown();
    }

    // The view as its own window, placed, with every button of the strip unless told otherwise.
    void open(const WindowButtonLayout& buttons = WindowButtonLayout::standard()) {
        view = std::make_unique<MainView>(ctx);
        view->windowStrip()->setButtonLayout(buttons);
        view->setGeometry(kPlace);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        ASSERT_TRUE(waitFor([&] { return serverRect(*view) == kPlace; }, 10000))
            << "placed at " << serverRect(*view).x() << "," << serverRect(*view).y();
    }
    // Back to the place and size the checks start from.
    void replace() {
        view->showNormal();
        view->setGeometry(kPlace);
        ASSERT_TRUE(
            waitFor([&] { return serverRect(*view) == kPlace && !view->isMaximized(); }, 10000));
    }
    QPoint global(QWidget* w, QPoint local) { return w->mapToGlobal(local); }

    // Presses at `from`, travels to `target` and releases; true once the X server has the
    // window at `expected`. The window manager, once it took over, sees only motion that comes
    // after it grabbed the pointer: the last step is repeated until the window is there.
    bool dragTo(QPoint from, QPoint target, std::function<bool()> arrived) {
        InputSpy spy;
        if (!xdo(to(from)) || !xdo({"mousedown", "1"})) return false;
        if (!waitFor([&] { return spy.pressed == from; }, 10000)) return false;
        const QPoint past = from + (target - from) / 4;
        xdo(to(past));
        const bool there = waitFor(
            [&] { return arrived() || (xdo(to(target + QPoint(1, 0)) + to(target)) && false); },
            15000);
        xdo({"mouseup", "1"});
        return there;
    }

    // A drag the window must not follow: every step reaches the application, and then the
    // window is where it was.
    bool dragStays(QPoint from, QPoint target) {
        const QRect before = serverRect(*view);
        InputSpy spy;
        if (!xdo(to(from)) || !xdo({"mousedown", "1"})) return false;
        if (!waitFor([&] { return spy.pressed == from; }, 10000)) return false;
        xdo(to(from + QPoint(20, 0)));
        xdo(to(target));
        if (!waitFor([&] { return spy.moved == target; }, 10000)) return false;
        xdo({"mouseup", "1"});
        if (!waitFor([&] { return spy.released == target; }, 10000)) return false;
        return serverRect(*view) == before;
    }

    bool doubleClick(QPoint at) {
        return xdo(to(at)) && xdo({"click", "--repeat", "2", "--delay", "80", "1"});
    }
    bool click(QWidget* w) { return xdo(to(global(w, w->rect().center()))) && xdo({"click", "1"}); }

    // Everything the chrome promises, from the window's place and size.
    void expectTheChromeHolds() {
        MainView& v = *view;
        ASSERT_NO_FATAL_FAILURE(replace());
        const QRect screen = v.screen()->availableGeometry();

        // No frame: the content, the strip first, starts at the window's top edge.
        EXPECT_TRUE(v.windowFlags() & Qt::FramelessWindowHint);
        EXPECT_EQ(property(v, "_NET_FRAME_EXTENTS"), "_NET_FRAME_EXTENTS(CARDINAL) = 0, 0, 0, 0");
        EXPECT_EQ(v.windowStrip()->mapTo(&v, QPoint(0, 0)), QPoint(0, 0));
        EXPECT_EQ(global(&v, QPoint(0, 0)), serverRect(v).topLeft());
        EXPECT_EQ(v.frameGeometry(), v.geometry());

        // Dragging the strip, and an empty part of the header, moves the window as far.
        const QPoint strip = global(v.windowStrip(), v.windowStrip()->rect().center());
        QPoint empty(30, HeaderView::kHeight / 2);
        ASSERT_EQ(v.childAt(v.headerView()->mapTo(&v, empty)), v.headerView());
        empty = global(v.headerView(), empty);
        const std::pair<const char*, QPoint> drags[] = {{"strip", strip},
                                                        {"header's background", empty}};
        for (const auto& [what, from] : drags) {
            SCOPED_TRACE(what);
            const QPoint by(-70, 45);
            EXPECT_TRUE(
                dragTo(from, from + by, [&] { return serverRect(v) == kPlace.translated(by); }))
                << "at " << serverRect(v).x() << "," << serverRect(v).y();
            EXPECT_TRUE(waitFor([&] { return v.pos() == kPlace.topLeft() + by; }, 5000));
            ASSERT_NO_FATAL_FAILURE(replace());
        }

        // A drag that starts on a list row selects, and leaves the window in place.
        RecordListView* list = v.recordList();
        const QPoint row =
            global(list->viewport(), list->visualRect(list->model()->index(1, 0)).center());
        EXPECT_TRUE(dragStays(row, row + QPoint(150, 60)));

        // A double click on the strip maximises, another restores.
        ASSERT_TRUE(doubleClick(strip));
        EXPECT_TRUE(waitFor([&] { return v.isMaximized() && serverRect(v) == screen; }, 10000));
        WindowControlButton* maximize = v.windowStrip()->button(WindowButton::maximize);
        EXPECT_TRUE(maximize->restores());
        shoot(*v.windowStrip(), QStringLiteral("main-chrome-strip-maximized"));
        ASSERT_TRUE(doubleClick(global(v.windowStrip(), v.windowStrip()->rect().center())));
        EXPECT_TRUE(waitFor([&] { return !v.isMaximized() && serverRect(v) == kPlace; }, 10000));
        EXPECT_FALSE(maximize->restores());

        // The buttons.
        ASSERT_TRUE(click(maximize));
        EXPECT_TRUE(waitFor([&] { return v.isMaximized() && serverRect(v) == screen; }, 10000));
        ASSERT_TRUE(click(maximize));
        EXPECT_TRUE(waitFor([&] { return !v.isMaximized() && serverRect(v) == kPlace; }, 10000));
        ASSERT_TRUE(click(v.windowStrip()->button(WindowButton::minimize)));
        EXPECT_TRUE(waitFor(
            [&] { return v.isMinimized() && property(v, "WM_STATE").contains("Iconic"); }, 10000));
        v.showNormal();
        EXPECT_TRUE(waitFor([&] { return !v.isMinimized() && v.isVisible(); }, 10000));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));
        ASSERT_TRUE(click(v.windowStrip()->button(WindowButton::close)));
        EXPECT_TRUE(waitFor([&] { return !v.isVisible(); }, 10000)) << "closing hides it";
        v.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));
        ASSERT_NO_FATAL_FAILURE(replace());

        // The outer edges and corners resize it through the window manager.
        const struct {
            const char* edge;
            QPoint grab;  // in the window
            QPoint by;
            QRect expected;
        } edges[] = {
            {"right", {kPlace.width() - 2, 300}, {80, 0}, kPlace.adjusted(0, 0, 80, 0)},
            {"bottom", {400, kPlace.height() - 2}, {0, 60}, kPlace.adjusted(0, 0, 0, 60)},
            {"left", {2, 300}, {-50, 0}, kPlace.adjusted(-50, 0, 0, 0)},
            {"top", {400, 2}, {0, -40}, kPlace.adjusted(0, -40, 0, 0)},
            {"bottom-right corner",
             {kPlace.width() - 2, kPlace.height() - 2},
             {60, 40},
             kPlace.adjusted(0, 0, 60, 40)},
        };
        for (const auto& e : edges) {
            SCOPED_TRACE(e.edge);
            const QPoint from = global(&v, e.grab);
            const QWidget* grip = v.childAt(e.grab);
            ASSERT_TRUE(qobject_cast<const WindowEdgeGrip*>(grip));
            InputSpy spy;
            ASSERT_TRUE(xdo(to(from)));
            ASSERT_TRUE(waitFor([&] { return spy.moved == from; }, 10000));
            EXPECT_EQ(grip->cursor().shape(),
                      WindowEdgeGrip::cursorFor(WindowEdgeGrip::edgesAt(v.size(), e.grab)));
            EXPECT_TRUE(dragTo(from, from + e.by, [&] { return serverRect(v) == e.expected; }))
                << serverRect(v).x() << "," << serverRect(v).y() << " " << serverRect(v).width()
                << "x" << serverRect(v).height();
            ASSERT_NO_FATAL_FAILURE(replace());
        }
    }

    std::unique_ptr<MainView> view;
};

TEST_F(WindowChromeTest, NoFrameMovesMaximisesAndResizesAlsoAfterFullScreen) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    TAVRO_REQUIRE_ENV("xdotool", !QStandardPaths::findExecutable("xdotool").isEmpty());
    ASSERT_NO_FATAL_FAILURE(open());
    {
        SCOPED_TRACE("as first shown");
        expectTheChromeHolds();
    }
    ASSERT_TRUE(waitFor([&] { return view->chrome()->observerCount() == 3; }, 5000));

    // Activated, then full screen and back: the window stays as it was made.
    view->activateWindow();
    ASSERT_TRUE(waitFor([&] { return view->isActiveWindow(); }, 10000));
    const QRect screen = view->screen()->geometry();
    view->showFullScreen();
    ASSERT_TRUE(waitFor([&] { return serverRect(*view) == screen; }, 10000));
    for (const WindowEdgeGrip* grip : view->findChildren<WindowEdgeGrip*>())
        EXPECT_FALSE(grip->isVisible()) << "nothing to resize while it fills the screen";
    EXPECT_TRUE(view->windowStrip()->button(WindowButton::maximize)->restores());
    view->showNormal();
    ASSERT_TRUE(waitFor([&] { return serverRect(*view) == kPlace; }, 10000));
    {
        SCOPED_TRACE("after activation and full screen");
        expectTheChromeHolds();
    }
    EXPECT_EQ(view->chrome()->observerCount(), 3u);
    view->chrome()->attach();
    view->chrome()->attach();
    EXPECT_EQ(view->chrome()->observerCount(), 3u) << "a new attach drops the old observers";
}

// The strip holds the buttons the desktop lays out, on its side, in its order.
TEST_F(WindowChromeTest, ButtonsFollowTheDesktopsLayout) {
    MainView v(ctx);
    v.resize(MainView::kMinimumSize);
    v.setAttribute(Qt::WA_DontShowOnScreen);
    v.show();
    using B = WindowButton;
    const struct {
        const char* name;
        WindowButtonLayout layout;
        std::vector<B> leftToRight;
        int onLeft;
    } cases[] = {
        {"standard", WindowButtonLayout::standard(), {B::minimize, B::maximize, B::close}, 0},
        {"close alone", {{}, {B::close}}, {B::close}, 0},
        {"on the left",
         {{B::close, B::minimize, B::maximize}, {}},
         {B::close, B::minimize, B::maximize},
         3},
        {"both sides", {{B::close}, {B::maximize}}, {B::close, B::maximize}, 1},
    };
    WindowStrip* strip = v.windowStrip();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        strip->setButtonLayout(c.layout);
        QCoreApplication::processEvents();
        auto buttons = strip->findChildren<WindowControlButton*>();
        std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
        std::vector<B> order;
        for (const WindowControlButton* b : buttons) order.push_back(b->role());
        EXPECT_EQ(order, c.leftToRight);
        for (int i = 0; i < int(buttons.size()); ++i) {
            const bool left = buttons[i]->geometry().right() < strip->width() / 2;
            EXPECT_EQ(left, i < c.onLeft) << i;
            EXPECT_EQ(buttons[i]->height(), WindowControlButton::kSize.height());
        }
    }
    EXPECT_EQ(strip->height(), WindowStrip::kHeight);
}

TEST(WindowEdgeGrip, EdgesAndCornersUnderThePointer) {
    const QSize size(920, 600);
    const struct {
        QPoint at;
        Qt::Edges edges;
        Qt::CursorShape cursor;
    } cases[] = {
        {{0, 300}, Qt::LeftEdge, Qt::SizeHorCursor},
        {{5, 300}, Qt::LeftEdge, Qt::SizeHorCursor},
        {{6, 300}, {}, Qt::ArrowCursor},
        {{919, 300}, Qt::RightEdge, Qt::SizeHorCursor},
        {{400, 0}, Qt::TopEdge, Qt::SizeVerCursor},
        {{400, 599}, Qt::BottomEdge, Qt::SizeVerCursor},
        {{0, 0}, Qt::TopEdge | Qt::LeftEdge, Qt::SizeFDiagCursor},
        // Along an edge, near a corner, the corner takes over.
        {{15, 2}, Qt::TopEdge | Qt::LeftEdge, Qt::SizeFDiagCursor},
        {{16, 2}, Qt::TopEdge, Qt::SizeVerCursor},
        {{917, 590}, Qt::BottomEdge | Qt::RightEdge, Qt::SizeFDiagCursor},
        {{3, 588}, Qt::BottomEdge | Qt::LeftEdge, Qt::SizeBDiagCursor},
        {{910, 1}, Qt::TopEdge | Qt::RightEdge, Qt::SizeBDiagCursor},
        {{400, 300}, {}, Qt::ArrowCursor},
        {{920, 300}, {}, Qt::ArrowCursor},  // outside
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.at.x() << "," << c.at.y());
        EXPECT_EQ(WindowEdgeGrip::edgesAt(size, c.at), c.edges);
        EXPECT_EQ(WindowEdgeGrip::cursorFor(c.edges), c.cursor);
    }
}

// The window at its smallest and larger than the screen, light and dark; then on the screen
// itself, with nothing of the window manager's around it.
TEST_F(WindowChromeTest, Screenshots) {
    const QPalette dark = uitest::darkPalette();
    const QPalette light = QApplication::palette();
    const struct {
        const char* file;
        QSize size;
        bool dark;
    } cases[] = {{"main-chrome-920x600-light", {920, 600}, false},
                 {"main-chrome-920x600-dark", {920, 600}, true},
                 {"main-chrome-1600x1000-light", {1600, 1000}, false},
                 {"main-chrome-1600x1000-dark", {1600, 1000}, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        QApplication::setPalette(c.dark ? dark : light);
        MainView v(ctx);
        v.windowStrip()->setButtonLayout(WindowButtonLayout::standard());
        v.setAttribute(Qt::WA_DontShowOnScreen);  // larger than the test screen
        v.resize(c.size);
        v.show();
        v.recordList()->setCurrentIndex(v.recordList()->model()->index(0, 0));
        QCoreApplication::processEvents();
        EXPECT_EQ(v.size(), c.size);
        const QImage shot = shoot(v, QString::fromLatin1(c.file));
        // The buttons sit at the right end of the strip, inside the window.
        const WindowControlButton* close = v.windowStrip()->button(WindowButton::close);
        EXPECT_LE(close->mapTo(&v, close->rect().bottomRight()).y(), WindowStrip::kHeight);
        EXPECT_GE(close->mapTo(&v, close->rect().topRight()).x(), c.size.width() - 16);
        EXPECT_EQ(shot.size(), c.size * shot.devicePixelRatio());
        // The sidebar's empty lower part follows the theme, so its text stays readable.
        const int sidebarGray =
            qGray(shot.pixel(QPoint(140, c.size.height() - 40) * shot.devicePixelRatio()));
        if (c.dark)
            EXPECT_LT(sidebarGray, 80);
        else
            EXPECT_EQ(sidebarGray, 255);
    }
    QApplication::setPalette(light);

    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    ASSERT_NO_FATAL_FAILURE(
        open({{WindowButton::close, WindowButton::minimize, WindowButton::maximize}, {}}));
    const WindowControlButton* close = view->windowStrip()->button(WindowButton::close);
    const QPoint cross = close->mapToGlobal(close->rect().center());
    EXPECT_LT(cross.x(), kPlace.left() + 40) << "at the left end";
    QImage screen;
    // Until the window's own pixels are on the screen: the close button's cross drawn at its
    // place, the window's background beside it.
    ASSERT_TRUE(waitFor([&] {
        screen = view->screen()->grabWindow(0).toImage();
        return screen.pixelColor(cross).lightness() < 160 &&
               screen.pixelColor(kPlace.topLeft() + QPoint(300, 14)) ==
                   view->palette().color(QPalette::Window);
    }));
    screen.copy(kPlace.adjusted(-20, -20, 20, 20))
        .save(QStringLiteral(TAVRO_ARTIFACT_DIR "/main-chrome-on-screen-left-buttons.png"));
}

}  // namespace

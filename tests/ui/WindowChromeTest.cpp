// The main window's own chrome on the test X server and its window manager, driven by real
// pointer input (xdotool); what counts is where the X server has the window.
#include <QAbstractItemModel>
#include <QApplication>
#include <QMouseEvent>
#include <QProcess>
#include <QScopeGuard>
#include <QScreen>
#include <QStandardPaths>

#include <ostream>

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

static void PrintTo(const QRect& r, std::ostream* os) {
    *os << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height();
}

namespace {

using uitest::shoot;
using uitest::waitFor;

// The last mouse event Qt delivered, so that a test goes on once the application has taken in
// what it was sent.
struct InputSpy : QObject {
    InputSpy() { qApp->installEventFilter(this); }
    ~InputSpy() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (auto* m = dynamic_cast<QMouseEvent*>(e))
            last = {e->type(), m->globalPosition().toPoint()};
        return false;
    }
    std::pair<QEvent::Type, QPoint> last;
};

// The window's rectangle as the X server has it, in root coordinates.
QRect serverRect(QWidget& w) {
    auto* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
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
    xprop.waitForFinished(10000);
    return QString::fromLatin1(xprop.readAllStandardOutput()).trimmed();
}

// Runs xdotool with the event loop turning, so that the window answers meanwhile.
bool xdo(const QStringList& args) {
    QProcess p;
    p.start("xdotool", args);
    return waitFor([&] { return p.state() == QProcess::NotRunning; }) &&
           p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
QStringList to(QPoint p) {
    return {"mousemove", QString::number(p.x()), QString::number(p.y())};
}
QPoint centre(const QWidget* w) {
    return w->mapToGlobal(w->rect().center());
}

class WindowChromeTest : public WindowFixture {
protected:
    static constexpr QRect kPlace{100, 80, 920, 600};
    std::unique_ptr<MainView> view;

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

    // Back at the place and size the checks start from.
    bool placed() {
        view->showNormal();
        view->setGeometry(kPlace);
        return at(kPlace);
    }
    // Once the X server and Qt have the window at `r`.
    bool at(QRect r, bool maximized = false) {
        const bool there = waitFor([&] {
            return serverRect(*view) == r && view->geometry() == r &&
                   view->isMaximized() == maximized;
        });
        EXPECT_TRUE(there) << testing::PrintToString(serverRect(*view)) << " for "
                           << testing::PrintToString(r);
        return there;
    }

    // Drags from `from` by `by`; true once the window is at `expected`. The window manager,
    // once it took over, sees only motion after its grab, so the last step repeats until the
    // window is there. A drag that leaves the window in place must reach the application.
    bool drag(QPoint from, QPoint by, QRect expected) {
        const bool stays = serverRect(*view) == expected;
        const QPoint target = from + by;
        InputSpy spy;
        if (!xdo(to(from)) || !xdo({"mousedown", "1"}) ||
            !waitFor([&] { return spy.last == std::pair(QEvent::MouseButtonPress, from); }))
            return false;
        xdo(to(from + by / 4));
        waitFor([&] {
            return (serverRect(*view) == expected &&
                    (!stays || spy.last == std::pair(QEvent::MouseMove, target))) ||
                   (xdo(to(target + QPoint(1, 0)) + to(target)) && false);
        });
        xdo({"mouseup", "1"});
        return at(expected);
    }
    bool click(QWidget* w, int times = 1) {
        return xdo(to(centre(w))) &&
               xdo({"click", "--repeat", QString::number(times), "--delay", "80", "1"});
    }

    // Everything the chrome promises, from the window's place and size.
    void expectTheChromeHolds() {
        MainView& v = *view;
        WindowStrip* strip = v.windowStrip();
        ASSERT_TRUE(placed());

        // No frame: the content, the strip first, starts at the window's top edge.
        EXPECT_EQ(property(v, "_NET_FRAME_EXTENTS"), "_NET_FRAME_EXTENTS(CARDINAL) = 0, 0, 0, 0");
        EXPECT_EQ(strip->mapTo(&v, QPoint(0, 0)), QPoint(0, 0));
        EXPECT_EQ(v.mapToGlobal(QPoint(0, 0)), serverRect(v).topLeft());

        // A double click on the strip maximises and restores; so does the maximise button.
        WindowControlButton* maximize = strip->button(WindowButton::maximize);
        for (QWidget* target : std::initializer_list<QWidget*>{strip, maximize}) {
            for (const bool maximized : {true, false}) {
                ASSERT_TRUE(click(target, target == strip ? 2 : 1));
                EXPECT_TRUE(at(maximized ? v.screen()->availableGeometry() : kPlace, maximized));
                EXPECT_EQ(maximize->restores(), maximized);
                if (maximized) shoot(*strip, QStringLiteral("main-chrome-strip-maximized"));
            }
        }
        ASSERT_TRUE(click(strip->button(WindowButton::minimize)));
        EXPECT_TRUE(
            waitFor([&] { return v.isMinimized() && property(v, "WM_STATE").contains("Iconic"); }));
        v.showNormal();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&v, 20000));
        ASSERT_TRUE(click(strip->button(WindowButton::close)));
        EXPECT_TRUE(waitFor([&] { return !v.isVisible(); })) << "closing hides it";
        v.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&v, 20000));
        ASSERT_TRUE(placed());

        // Dragging the strip or an empty part of the header moves the window as far, a drag from
        // a list row selects and leaves it in place, and the outer edges and a corner resize it.
        const RecordListView* list = v.recordList();
        const QRect row = list->visualRect(list->model()->index(1, 0));
        const struct {
            QPoint grab, by;  // in the window
            QRect expected;
        } drags[] = {
            {strip->mapTo(&v, strip->rect().center()), {-70, 45}, kPlace.translated(-70, 45)},
            {{30, HeaderView::kHeight / 2}, {-70, 45}, kPlace.translated(-70, 45)},
            {list->viewport()->mapTo(&v, row.center()), {150, 60}, kPlace},
            {{kPlace.width() - 2, 300}, {80, 0}, kPlace.adjusted(0, 0, 80, 0)},
            {{400, kPlace.height() - 2}, {0, 60}, kPlace.adjusted(0, 0, 0, 60)},
            {{2, 300}, {-50, 0}, kPlace.adjusted(-50, 0, 0, 0)},
            {{400, 2}, {0, -40}, kPlace.adjusted(0, -40, 0, 0)},
            {{kPlace.width() - 2, kPlace.height() - 2}, {60, 40}, kPlace.adjusted(0, 0, 60, 40)},
        };
        for (const auto& d : drags) {
            SCOPED_TRACE(testing::Message() << "from " << d.grab.x() << "," << d.grab.y());
            const QPoint from = v.mapToGlobal(d.grab);
            if (const QWidget* grip = qobject_cast<WindowEdgeGrip*>(v.childAt(d.grab))) {
                // Over the edge, the pointer shows which way it resizes.
                const auto shape =
                    WindowEdgeGrip::cursorFor(WindowEdgeGrip::edgesAt(v.size(), d.grab));
                ASSERT_TRUE(xdo(to(from)));
                EXPECT_TRUE(waitFor([&] { return grip->cursor().shape() == shape; })) << shape;
            }
            EXPECT_TRUE(drag(from, d.by, d.expected));
            ASSERT_TRUE(placed());
        }
    }
};

TEST_F(WindowChromeTest, NoFrameMovesMaximisesAndResizesAlsoAfterFullScreen) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    TAVRO_REQUIRE_ENV("xdotool", !QStandardPaths::findExecutable("xdotool").isEmpty());
    // The buttons on the left this time, and a picture of the window as the screen shows it:
    // the close button's cross and the window's background beside it.
    view = std::make_unique<MainView>(ctx);
    view->windowStrip()->setButtonLayout(
        {{WindowButton::close, WindowButton::minimize, WindowButton::maximize}, {}});
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    ASSERT_TRUE(placed());
    const QPoint cross = centre(view->windowStrip()->button(WindowButton::close));
    EXPECT_LT(cross.x(), kPlace.left() + 40);
    QImage screen;
    ASSERT_TRUE(waitFor([&] {
        screen = view->screen()->grabWindow(0).toImage();
        return screen.pixelColor(cross).lightness() < 160 &&
               screen.pixelColor(kPlace.topLeft() + QPoint(300, 14)) ==
                   view->palette().color(QPalette::Window);
    }));
    screen.copy(kPlace.adjusted(-20, -20, 20, 20))
        .save(QStringLiteral(TAVRO_ARTIFACT_DIR "/main-chrome-on-screen-left-buttons.png"));
    for (const bool again : {false, true}) {
        SCOPED_TRACE(again ? "after activation and full screen" : "as first shown");
        if (again) {  // activated, then full screen and back: the window stays as it was made
            ASSERT_TRUE(waitFor([&] { return view->chrome()->observerCount() == 3; }));
            view->activateWindow();
            ASSERT_TRUE(waitFor([&] { return view->isActiveWindow(); }));
            view->showFullScreen();
            ASSERT_TRUE(waitFor([&] { return serverRect(*view) == view->screen()->geometry(); }));
            for (const WindowEdgeGrip* grip : view->findChildren<WindowEdgeGrip*>())
                EXPECT_FALSE(grip->isVisible()) << "nothing to resize while it fills the screen";
            EXPECT_TRUE(view->windowStrip()->button(WindowButton::maximize)->restores());
            view->showNormal();
            ASSERT_TRUE(waitFor([&] { return serverRect(*view) == kPlace; }));
        }
        ASSERT_NO_FATAL_FAILURE(expectTheChromeHolds());
    }
    view->chrome()->attach();
    EXPECT_EQ(view->chrome()->observerCount(), 3u) << "one observer per kind of change, ever";
}

TEST(WindowEdgeGrip, EdgesAndCornersUnderThePointer) {
    const struct {
        QPoint at;
        Qt::Edges edges;
        Qt::CursorShape cursor;
    } cases[] = {
        {{5, 300}, Qt::LeftEdge, Qt::SizeHorCursor},
        {{6, 300}, {}, Qt::ArrowCursor},
        // Along an edge, near a corner, the corner takes over.
        {{15, 2}, Qt::TopEdge | Qt::LeftEdge, Qt::SizeFDiagCursor},
        {{16, 2}, Qt::TopEdge, Qt::SizeVerCursor},
        {{3, 588}, Qt::BottomEdge | Qt::LeftEdge, Qt::SizeBDiagCursor},
        {{910, 1}, Qt::TopEdge | Qt::RightEdge, Qt::SizeBDiagCursor},
        {{920, 300}, {}, Qt::ArrowCursor},  // outside
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.at.x() << "," << c.at.y());
        EXPECT_EQ(WindowEdgeGrip::edgesAt({920, 600}, c.at), c.edges);
        EXPECT_EQ(WindowEdgeGrip::cursorFor(c.edges), c.cursor);
    }
}

// The window at its smallest and larger than the screen, light and dark, with the buttons the
// desktop lays out at the ends of the strip, on their sides and in their order.
TEST_F(WindowChromeTest, ButtonLayoutsAndScreenshots) {
    using B = WindowButton;
    const struct {
        QSize size;
        bool dark;
        WindowButtonLayout layout;
        std::string sides;  // left|right, with miNimise, maXimise and Close
    } cases[] = {
        {{920, 600}, false, WindowButtonLayout::standard(), "|nxc"},
        {{920, 600}, true, {{}, {B::close}}, "|c"},
        {{1600, 1000}, false, {{B::close, B::minimize, B::maximize}, {}}, "cnx|"},
        {{1600, 1000}, true, {{B::close}, {B::maximize}}, "c|x"},
    };
    const QPalette light = QApplication::palette();
    const auto restore = qScopeGuard([&] { QApplication::setPalette(light); });
    for (const auto& c : cases) {
        const QString name = QString::asprintf("main-chrome-%dx%d-%s", c.size.width(),
                                               c.size.height(), c.dark ? "dark" : "light");
        SCOPED_TRACE(name.toStdString());
        QApplication::setPalette(c.dark ? uitest::darkPalette() : light);
        MainView v(ctx);
        v.windowStrip()->setButtonLayout(c.layout);
        v.setAttribute(Qt::WA_DontShowOnScreen);  // larger than the test screen
        v.resize(c.size);
        v.show();
        v.recordList()->setCurrentIndex(v.recordList()->model()->index(0, 0));
        const QImage shot = shoot(v, name);
        ASSERT_EQ(shot.size(), c.size * shot.devicePixelRatio());

        auto buttons = v.windowStrip()->findChildren<WindowControlButton*>();
        std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
        std::string left, right;
        for (const WindowControlButton* b : buttons) {
            const QRect r(b->mapTo(&v, QPoint()), b->size());
            EXPECT_LE(r.bottom(), WindowStrip::kHeight);
            (r.x() < c.size.width() / 2 ? left : right) += "nxc"[int(b->role())];
        }
        EXPECT_EQ(left + "|" + right, c.sides);
        EXPECT_TRUE(right.empty() ||
                    buttons.back()->mapTo(&v, buttons.back()->rect().topRight()).x() >=
                        c.size.width() - 16);
        // The sidebar's empty lower part follows the theme, so that its text stays readable.
        const int sidebar =
            qGray(shot.pixel(QPoint(140, c.size.height() - 40) * shot.devicePixelRatio()));
        EXPECT_TRUE(c.dark ? sidebar < 80 : sidebar == 255) << sidebar;
    }
}

}  // namespace

// The main window's own chrome on the test X server and its window manager, driven by real
// pointer input (xdotool); what counts is where the X server has the window.
#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QProcess>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QToolTip>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <utility>

#include <xcb/xcb.h>

#include "Screenshots.h"
#include "UiFixture.h"
#include "platform/XcbAtom.h"
#include "support/TestEnv.h"
#include "ui/main/HeaderView.h"
#include "ui/main/MainView.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/WindowBackgroundDrag.h"
#include "ui/main/WindowChromeConfigurator.h"
#include "ui/main/WindowControlButton.h"
#include "ui/main/WindowEdgeGrip.h"
#include "ui/main/WindowStrip.h"
#include "ui/main/sidebar/RecordListView.h"
#include "ui/main/sidebar/SidebarSearchField.h"
#include "ui/main/sidebar/SidebarView.h"

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

// The window's buttons from left to right, with miNimise, maXimise and Close, as left|right.
std::string sides(const MainView& v) {
    auto buttons = v.windowStrip()->findChildren<WindowControlButton*>();
    std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
    std::string left, right;
    for (const WindowControlButton* b : buttons) {
        EXPECT_LE(b->mapTo(&v, b->rect().bottomLeft()).y(), WindowStrip::kHeight);
        (b->mapTo(&v, QPoint()).x() < v.width() / 2 ? left : right) += "nxc"[int(b->role())];
    }
    return left + "|" + right;
}

// A settings daemon of the test's own: owns the X settings selection with one text setting.
class ScopedXSettings {
public:
    ScopedXSettings(const std::string& name, const std::string& value) {
        c_ = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        window_ = xcb_generate_id(c_);
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, root, -1, -1, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        std::string bytes(4, '\0');  // little-endian
        const auto number = [&](std::uint32_t v, int width) {
            for (int i = 0; i < width; ++i) bytes += char(v >> (8 * i));
        };
        const auto text = [&](const std::string& s) {
            bytes += s + std::string((4 - s.size() % 4) % 4, '\0');
        };
        number(1, 4);  // serial
        number(1, 4);  // one setting
        bytes += std::string{'\1', '\0'};
        number(std::uint32_t(name.size()), 2);
        text(name);
        number(0, 4);
        number(std::uint32_t(value.size()), 4);
        text(value);
        const xcb_atom_t settings = xcbAtom(c_, "_XSETTINGS_SETTINGS");
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, settings, settings, 8,
                            uint32_t(bytes.size()), bytes.data());
        xcb_set_selection_owner(c_, window_, xcbAtom(c_, "_XSETTINGS_S0"), XCB_CURRENT_TIME);
        xcb_flush(c_);
    }
    ~ScopedXSettings() {
        xcb_destroy_window(c_, window_);
        xcb_flush(c_);
    }

private:
    xcb_connection_t* c_;
    xcb_window_t window_;
};

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
        // a list row or a text leaves it in place, and the outer edges and a corner resize it.
        const RecordListView* list = v.recordList();
        const QRect row = list->visualRect(list->model()->index(1, 0));
        // Empty background below the strip: the header row's free start. And a text.
        const QPoint header = v.headerView()->mapTo(&v, QPoint(30, HeaderView::kHeight / 2));
        ASSERT_GT(header.y(), WindowStrip::kHeight);
        const QLabel* text = nullptr;
        for (const QLabel* l : v.findChildren<QLabel*>())
            if (!text && l->isVisible() && !l->text().isEmpty() && l->width() > 40) text = l;
        ASSERT_TRUE(text);
        const QPoint onText = text->mapTo(&v, text->rect().center());
        ASSERT_FALSE(WindowBackgroundDrag::isBackground(&v, onText));
        // The search field's magnifier and the padding before it are the field's, not the
        // window's background.
        const SidebarSearchField* search = v.sidebar()->searchField();
        const QRectF field = search->fieldRect();
        const QPoint padding =
            search->mapTo(&v, QPoint(int(field.left()) + 3, search->height() / 2));
        const QPoint magnifier =
            search->mapTo(&v, QPoint(int(field.left()) + 17, search->height() / 2));
        const struct {
            QPoint grab, by;  // in the window
            QRect expected;
        } drags[] = {
            {strip->mapTo(&v, strip->rect().center()), {-70, 45}, kPlace.translated(-70, 45)},
            {header, {-70, 45}, kPlace.translated(-70, 45)},
            {onText, {120, 50}, kPlace},
            {padding, {120, 50}, kPlace},
            {magnifier, {120, 50}, kPlace},
            {list->viewport()->mapTo(&v, row.center()), {150, 60}, kPlace},
            // Above the placeholder's scroll bar, which has the edge's pixels below.
            {{kPlace.width() - 2, 150}, {80, 0}, kPlace.adjusted(0, 0, 80, 0)},
            {{400, kPlace.height() - 2}, {0, 60}, kPlace.adjusted(0, 0, 0, 60)},
            {{2, 300}, {-50, 0}, kPlace.adjusted(-50, 0, 0, 0)},
            {{400, 2}, {0, -40}, kPlace.adjusted(0, -40, 0, 0)},
            {{2, kPlace.height() - 2}, {-40, 40}, kPlace.adjusted(-40, 0, 0, 40)},
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

        EXPECT_EQ(sides(v), c.sides);
        auto buttons = v.windowStrip()->findChildren<WindowControlButton*>();
        std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
        EXPECT_TRUE(c.sides.back() == '|' ||
                    buttons.back()->mapTo(&v, buttons.back()->rect().topRight()).x() >=
                        c.size.width() - 16);
        // The sidebar's empty lower part follows the theme, so that its text stays readable.
        const int sidebar =
            qGray(shot.pixel(QPoint(140, c.size.height() - 40) * shot.devicePixelRatio()));
        EXPECT_TRUE(c.dark ? sidebar < 80 : sidebar == 255) << sidebar;
    }
}

// Away from GNOME the buttons are the desktop's own, under the test's window manager too: KDE's
// from kwinrc, XFCE's default, those of the X settings under a plain window manager. GNOME's
// unset key is no desktop's choice there.
TEST_F(WindowChromeTest, ButtonsOfDesktopsOtherThanGnome) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    TAVRO_REQUIRE_ENV("xdotool", !QStandardPaths::findExecutable("xdotool").isEmpty());
    const struct {
        const char* desktop;
        const char* kwinrc;
        const char* xsettings;  // Gtk/DecorationLayout
        std::string sides;
    } cases[] = {
        {"KDE", "[org.kde.kdecoration2]\nButtonsOnLeft=XIA\nButtonsOnRight=H\n", nullptr, "cnx|"},
        {"XFCE", nullptr, nullptr, "|nxc"},
        {"", nullptr, "close:minimize,maximize", "c|nx"},
    };
    const QByteArray desktop = qgetenv("XDG_CURRENT_DESKTOP");
    const auto restore = qScopeGuard([&] { qputenv("XDG_CURRENT_DESKTOP", desktop); });
    const std::filesystem::path kwinrc =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString() +
        "/kwinrc";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desktop);
        qputenv("XDG_CURRENT_DESKTOP", c.desktop);
        std::filesystem::remove(kwinrc);
        if (c.kwinrc) {
            std::filesystem::create_directories(kwinrc.parent_path());
            std::ofstream(kwinrc) << c.kwinrc;
        }
        std::optional<ScopedXSettings> daemon;
        if (c.xsettings) daemon.emplace("Gtk/DecorationLayout", c.xsettings);
        view = std::make_unique<MainView>(ctx);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        ASSERT_TRUE(placed());
        EXPECT_EQ(sides(*view), c.sides);
        // Once every button is drawn and the header holds still (the search field's caret
        // blinks on).
        QImage screen, header, before;
        const QRect headerArea(kPlace.left() + 300, kPlace.top(), kPlace.width() - 300, 90);
        const bool drawn = waitFor([&] {
            screen = view->screen()->grabWindow(0).toImage();
            before = std::exchange(header, screen.copy(headerArea));
            for (const WindowControlButton* b :
                 view->windowStrip()->findChildren<WindowControlButton*>()) {
                const QRect r(b->mapToGlobal(QPoint()), b->size());
                bool glyph = false;
                for (int y = r.top(); y <= r.bottom() && !glyph; ++y)
                    for (int x = r.left(); x <= r.right() && !glyph; ++x)
                        glyph = screen.pixelColor(x, y).lightness() < 160;
                if (!glyph) return false;
            }
            return header == before;
        });
        screen.copy(QRect(kPlace.topLeft(), QSize(kPlace.width(), 90)))
            .save(QStringLiteral(TAVRO_ARTIFACT_DIR "/main-chrome-desktop-%1.png")
                      .arg(QLatin1String(*c.desktop ? c.desktop : "xsettings")));
        ASSERT_TRUE(drawn) << "see the picture saved";
        view.reset();
    }
}

// After a move by the strip or the background the window answers the pointer at once: the
// button under it lights up and shows its help, an edge shows its resize cursor.
TEST_F(WindowChromeTest, HoverAndHelpAfterAMove) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    TAVRO_REQUIRE_ENV("xdotool", !QStandardPaths::findExecutable("xdotool").isEmpty());
    view = std::make_unique<MainView>(ctx);
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    MainView& v = *view;
    WindowControlButton* close = v.windowStrip()->button(WindowButton::close);
    WindowEdgeGrip* right = nullptr;
    for (WindowEdgeGrip* g : v.findChildren<WindowEdgeGrip*>())
        if (g->edge() == Qt::RightEdge) right = g;
    ASSERT_TRUE(right);
    const QPoint grabs[] = {v.windowStrip()->rect().center(),
                            v.headerView()->mapTo(&v, QPoint(30, HeaderView::kHeight / 2))};
    for (const QPoint grab : grabs) {
        SCOPED_TRACE(grab.y());
        ASSERT_TRUE(placed());
        ASSERT_TRUE(drag(v.mapToGlobal(grab), {-70, 45}, kPlace.translated(-70, 45)));
        ASSERT_TRUE(xdo(to(centre(close))));
        EXPECT_TRUE(waitFor([&] {
            return close->underMouse() && QToolTip::isVisible() &&
                   QToolTip::text() == close->toolTip();
        }));
        ASSERT_TRUE(xdo(to(v.mapToGlobal(QPoint(v.width() - 2, v.height() / 2)))));
        EXPECT_TRUE(waitFor([&] { return right->underMouse() && !close->underMouse(); }));
        EXPECT_EQ(right->cursor().shape(), Qt::SizeHorCursor);
    }
}

// Controls at the edges are themselves: the close button from its top rows of pixels, and the
// detail pane's scroll bar from its outer pixels. Closed by the button and shown again, the
// button looks as it did before.
TEST_F(WindowChromeTest, ControlsAtTheEdgesWorkAsThemselves) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    TAVRO_REQUIRE_ENV("xdotool", !QStandardPaths::findExecutable("xdotool").isEmpty());
    std::string longSummary;
    for (int i = 0; i < 80; ++i) longSummary += "議題" + std::to_string(i) + "について話した。\n\n";
    addRecord("長い議事録", longSummary);
    view = std::make_unique<MainView>(ctx);
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    ASSERT_TRUE(placed());
    MainView& v = *view;
    v.recordList()->setCurrentIndex(v.recordList()->model()->index(0, 0));
    ASSERT_TRUE(waitFor([&] { return v.showsRecord(); }));
    QScrollBar* bar = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (QScrollBar* b : v.findChildren<QScrollBar*>())
            if (b->isVisible() && b->orientation() == Qt::Vertical && b->maximum() > 0 &&
                b->mapTo(&v, QPoint(b->width(), 0)).x() >= v.width() - 1)
                bar = b;
        return bar != nullptr;
    })) << "a scroll bar along the right edge";
    shoot(v, QStringLiteral("main-chrome-scroll-bar-at-the-edge"));

    const QPoint edge(v.width() - 2, bar->mapTo(&v, bar->rect().center()).y());
    ASSERT_TRUE(xdo(to(v.mapToGlobal(edge))));
    ASSERT_TRUE(waitFor([&] { return bar->underMouse(); })) << "the scroll bar, not the edge";
    ASSERT_TRUE(xdo({"click", "5"}));  // the wheel, down
    EXPECT_TRUE(waitFor([&] { return bar->value() > 0; }));

    // The close button's top rows, within the window's top edge, close the window.
    ASSERT_TRUE(placed());
    WindowControlButton* close = v.windowStrip()->button(WindowButton::close);
    const QPoint top = close->mapTo(&v, QPoint(close->width() / 2, 0));
    ASSERT_LT(top.y(), WindowEdgeGrip::kBorder);
    ASSERT_TRUE(xdo(to(v.mapToGlobal(top + QPoint(0, 1)))));
    ASSERT_TRUE(waitFor([&] { return close->underMouse(); }));
    ASSERT_TRUE(xdo({"click", "1"}));
    ASSERT_TRUE(waitFor([&] { return !v.isVisible(); })) << "closed from the top row";
    ASSERT_TRUE(xdo(to(v.mapToGlobal(QPoint(400, 300)))));
    v.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));
    EXPECT_FALSE(close->isDown());
    // Beside its cross the button shows the strip's own background, not its bezel.
    const QPoint bezel = close->mapToGlobal(QPoint(4, close->height() / 2));
    const QPoint plain = v.mapToGlobal(QPoint(v.width() / 2, WindowStrip::kHeight / 2));
    QImage screen;
    EXPECT_TRUE(waitFor([&] {
        screen = v.screen()->grabWindow(0).toImage();
        return screen.pixelColor(bezel) == screen.pixelColor(plain);
    })) << "neither lit nor pressed";
    screen.copy(QRect(v.mapToGlobal(QPoint(v.width() - 200, 0)), QSize(200, 60)))
        .save(QStringLiteral(TAVRO_ARTIFACT_DIR "/main-chrome-close-after-reopening.png"));
}

// The chrome is applied again half a second after the start, and whenever the window becomes
// active or enters or leaves full screen: what went missing meanwhile comes back.
TEST_F(WindowChromeTest, AppliedAgainAfterTheStartOnActivationAndFullScreen) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    QElapsedTimer since;
    since.start();
    view = std::make_unique<MainView>(ctx);
    // Once on the first turn of the event loop, once more half a second later; never shown, the
    // window has nothing else to apply it for.
    const int made = view->chrome()->configureCount();
    ASSERT_TRUE(waitFor([&] { return view->chrome()->configureCount() == made + 2; }));
    EXPECT_GE(since.elapsed(), WindowChromeConfigurator::kSecondPassMs);

    QWidget other;
    other.setGeometry(50, 50, 200, 150);
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    ASSERT_TRUE(placed());
    const auto drag = [&] {
        return view->findChild<WindowBackgroundDrag*>(QString(), Qt::FindDirectChildrenOnly);
    };
    const auto activate = [&](QWidget& w) {
        w.show();
        w.activateWindow();
        return waitFor([&] { return w.isActiveWindow(); });
    };
    const std::pair<const char*, std::function<bool()>> changes[] = {
        {"activated", [&] { return activate(*view); }},
        {"full screen",
         [&] {
             view->showFullScreen();
             return waitFor([&] { return serverRect(*view) == view->screen()->geometry(); });
         }},
        {"back from full screen", [&] { return placed(); }},
    };
    ASSERT_TRUE(activate(other));
    for (const auto& [when, change] : changes) {
        SCOPED_TRACE(when);
        delete drag();
        ASSERT_FALSE(drag());
        ASSERT_TRUE(change());
        EXPECT_TRUE(waitFor([&] { return drag() != nullptr; }));
    }
    EXPECT_EQ(view->chrome()->observerCount(), 3u);
}

}  // namespace

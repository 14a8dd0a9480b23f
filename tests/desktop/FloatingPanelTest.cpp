#include <QCoreApplication>
#include <QLabel>
#include <QTest>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "FakeRecorder.h"
#include "desktop/FloatingPanel.h"
#include "desktop/RecordingPillView.h"
#include "platform/Compositing.h"
#include "support/TestEnv.h"

namespace {

struct Free {
    void operator()(void* p) const { std::free(p); }
};

// What the window manager made of the panel, read over a connection of the test's own.
class X {
public:
    X() : c_(xcb_connect(nullptr, nullptr)) {}
    ~X() { xcb_disconnect(c_); }
    xcb_atom_t atom(const char* name) {
        auto cookie = xcb_intern_atom(c_, 0, static_cast<uint16_t>(std::strlen(name)), name);
        std::unique_ptr<xcb_intern_atom_reply_t, Free> r(
            xcb_intern_atom_reply(c_, cookie, nullptr));
        return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
    std::vector<uint32_t> cardinals(xcb_window_t w, const char* prop) {
        auto cookie = xcb_get_property(c_, 0, w, atom(prop), XCB_GET_PROPERTY_TYPE_ANY, 0, 64);
        std::unique_ptr<xcb_get_property_reply_t, Free> r(
            xcb_get_property_reply(c_, cookie, nullptr));
        if (!r || r->format != 32) return {};
        const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
        return {v, v + xcb_get_property_value_length(r.get()) / 4};
    }

private:
    xcb_connection_t* c_;
};

TEST(FloatingPanel, OnEveryDesktopAboveOthersWithoutFocus) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    FloatingPanel panel(new QLabel(QStringLiteral("pill")));
    panel.placeAtRightEdge(120);
    panel.orderFront();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));

    X x;
    const auto w = static_cast<xcb_window_t>(panel.winId());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const auto desktop = x.cardinals(w, "_NET_WM_DESKTOP");
            return !desktop.empty() && desktop[0] == 0xFFFFFFFF;
        },
        3000))
        << "the window manager keeps it on all desktops";
    const auto state = x.cardinals(w, "_NET_WM_STATE");
    EXPECT_NE(std::find(state.begin(), state.end(), x.atom("_NET_WM_STATE_ABOVE")), state.end());
    QCoreApplication::processEvents();
    EXPECT_FALSE(panel.isActiveWindow()) << "showing it does not take the focus";
}

// The test X server has no compositing manager, so the rounded panel is cut to its shape.
TEST(FloatingPanel, ShapedWithoutCompositing) {
    TAVRO_REQUIRE_ENV("X server (DISPLAY)", testsupport::probeDisplay());
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    ASSERT_FALSE(desktopComposites());
    FakeRecorder rec;
    rec.start();
    FloatingPanel panel(new RecordingPillView(rec));
    panel.orderFront();
    const QRegion mask = panel.mask();
    EXPECT_TRUE(mask.contains(panel.rect().center()));
    EXPECT_FALSE(mask.contains(QPoint(0, 0))) << "the capsule's corner is cut away";
    EXPECT_FALSE(mask.contains(QPoint(panel.width() - 1, panel.height() - 1)));
}

}  // namespace

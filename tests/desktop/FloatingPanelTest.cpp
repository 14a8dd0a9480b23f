#include <QCoreApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QToolTip>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "FakeRecorder.h"
#include "desktop/FloatingPanel.h"
#include "desktop/MeetingPromptView.h"
#include "desktop/RecordingPillView.h"
#include "platform/Compositing.h"
#include "support/TestEnv.h"

namespace {

template <class T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    Reply<xcb_intern_atom_reply_t> r(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr),
        &std::free);
    return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// A window property as 32-bit values: what the window manager made of the panel.
std::vector<uint32_t> cardinals(xcb_connection_t* c, xcb_window_t w, const char* prop) {
    Reply<xcb_get_property_reply_t> r(
        xcb_get_property_reply(
            c, xcb_get_property(c, 0, w, atom(c, prop), XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr),
        &std::free);
    if (!r || r->format != 32) return {};
    const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
    return {v, v + xcb_get_property_value_length(r.get()) / 4};
}

TEST(FloatingPanel, OnEveryDesktopAboveOthersWithoutFocus) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    FloatingPanel panel(new QLabel(QStringLiteral("pill")));
    panel.placeAtRightEdge(120);
    panel.orderFront();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));

    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> x(xcb_connect(nullptr, nullptr),
                                                                   &xcb_disconnect);
    const auto w = static_cast<xcb_window_t>(panel.winId());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return cardinals(x.get(), w, "_NET_WM_DESKTOP") == std::vector<uint32_t>{0xFFFFFFFF};
        },
        3000))
        << "the window manager keeps it on all desktops";
    const auto state = cardinals(x.get(), w, "_NET_WM_STATE");
    EXPECT_NE(std::find(state.begin(), state.end(), atom(x.get(), "_NET_WM_STATE_ABOVE")),
              state.end());
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

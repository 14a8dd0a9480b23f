#include "support/TestEnv.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusReply>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "support/PulseSession.h"

namespace testsupport {
namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// test-env.sh exports TAVRO_TEST_ENV (its temporary root) and the addresses it started.
EnvProbe checkStartedByTestEnv(const char* var, const char* expectedVar) {
    const std::string value = env(var);
    if (value.empty()) return {false, std::string(var) + " is not set"};
    if (env("TAVRO_TEST_ENV").empty())
        return {false, "not running inside scripts/test-env.sh (TAVRO_TEST_ENV is not set)"};
    if (env(expectedVar).empty())
        return {false, std::string(var) + "=" + value +
                           ", but scripts/test-env.sh did not get it started"};
    if (value != env(expectedVar))
        return {false,
                std::string(var) + "=" + value + " is not the one scripts/test-env.sh started"};
    return {true, {}};
}

struct XcbCloser {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
using XcbConnection = std::unique_ptr<xcb_connection_t, XcbCloser>;

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    auto cookie = xcb_intern_atom(c, 1, static_cast<uint16_t>(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

xcb_window_t windowProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t prop) {
    auto cookie = xcb_get_property(c, 0, w, prop, XCB_ATOM_WINDOW, 0, 1);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(c, cookie, nullptr), &std::free);
    if (!reply || xcb_get_property_value_length(reply.get()) < 4) return XCB_WINDOW_NONE;
    return *static_cast<xcb_window_t*>(xcb_get_property_value(reply.get()));
}

}  // namespace

bool underCi() {
    return env("CI") == "true";
}

EnvProbe probeDisplay() {
    EnvProbe p = checkStartedByTestEnv("DISPLAY", "TAVRO_TEST_DISPLAY");
    if (!p.ok) return p;
    XcbConnection c(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(c.get()))
        return {false, "cannot connect to X display " + env("DISPLAY")};
    return {true, {}};
}

EnvProbe probeWindowManager() {
    EnvProbe p = probeDisplay();
    if (!p.ok) return p;
    int screenNum = 0;
    XcbConnection c(xcb_connect(nullptr, &screenNum));
    auto it = xcb_setup_roots_iterator(xcb_get_setup(c.get()));
    for (int i = 0; i < screenNum; ++i) xcb_screen_next(&it);
    const xcb_atom_t check = internAtom(c.get(), "_NET_SUPPORTING_WM_CHECK");
    const xcb_window_t wm = windowProperty(c.get(), it.data->root, check);
    // The check window names itself too; a stale property left by a dead WM does not.
    if (wm == XCB_WINDOW_NONE || windowProperty(c.get(), wm, check) != wm)
        return {false, "no window manager on " + env("DISPLAY")};
    return {true, {}};
}

EnvProbe probeSessionBus() {
    EnvProbe p = checkStartedByTestEnv("DBUS_SESSION_BUS_ADDRESS", "TAVRO_TEST_BUS");
    if (!p.ok) return p;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return {false,
                "cannot connect to the session bus: " + bus.lastError().message().toStdString()};
    return {true, {}};
}

EnvProbe probeSecretService() {
    EnvProbe p = probeSessionBus();
    if (!p.ok) return p;
    if (!QDBusConnection::sessionBus().interface()->isServiceRegistered("org.freedesktop.secrets"))
        return {false, "org.freedesktop.secrets has no owner on the session bus"};
    return {true, {}};
}

EnvProbe probeNotificationServer() {
    EnvProbe p = probeSessionBus();
    if (!p.ok) return p;
    QDBusMessage call = QDBusMessage::createMethodCall(
        "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
        "org.freedesktop.Notifications", "GetServerInformation");
    QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {false, "no notification server: " + reply.errorMessage().toStdString()};
    const QString name = reply.arguments().at(0).toString();
    if (name != "tavro-test-notifyserver")
        return {false, "the notification server is " + name.toStdString() + ", not ours"};
    return {true, {}};
}

EnvProbe probeSoundServer() {
    EnvProbe p = checkStartedByTestEnv("PULSE_SERVER", "TAVRO_TEST_PULSE");
    if (!p.ok) return p;
    PulseSession pulse;
    if (!pulse.connect(std::chrono::seconds(5)))
        return {false, "PULSE_SERVER=" + env("PULSE_SERVER") + ": " + pulse.error()};
    return {true, {}};
}

std::string missingComponentMessage(std::string_view component, const EnvProbe& probe) {
    std::string msg = "test environment component unavailable: ";
    msg += component;
    if (!probe.detail.empty()) msg += " (" + probe.detail + ")";
    const std::string failed = env("TAVRO_TEST_ENV_FAILED");
    if (!failed.empty()) msg += "; scripts/test-env.sh could not start: " + failed;
    msg += ". Run tests through scripts/test-env.sh (or bash scripts/test.sh).";
    return msg;
}

}  // namespace testsupport

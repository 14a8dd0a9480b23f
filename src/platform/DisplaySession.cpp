#include "platform/DisplaySession.h"

#include <cstdlib>

namespace {
std::string variable(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}
}  // namespace

DisplaySession DisplaySession::fromEnvironment() {
    return {variable("XDG_SESSION_TYPE"), variable("WAYLAND_DISPLAY"), variable("DISPLAY"),
            variable("QT_QPA_PLATFORM")};
}

bool DisplaySession::wayland() const {
    return !waylandDisplay.empty() || sessionType == "wayland";
}

std::string DisplaySession::chosenQtPlatform() const {
    if (!qtPlatform.empty()) return {};
    // XWayland where there is one: native Wayland windows would be out of the X server's sight.
    if (!display.empty()) return "xcb";
    if (wayland()) return "wayland";
    return {};
}

DisplaySession::HotkeyReach DisplaySession::hotkeyReach() const {
    // Whatever platform TAVRO runs on, its own windows are watched as well where the X server
    // cannot see them, so only the X server's reach differs.
    if (display.empty()) return HotkeyReach::tavroWindows;
    return wayland() ? HotkeyReach::x11Windows : HotkeyReach::everywhere;
}

#pragma once
// Which Qt platform TAVRO runs on and where the double press is then seen, decided from the
// desktop session's variables alone. Global keys come from an X server; on Wayland that is
// XWayland, which sees keys only while one of its own windows has the focus. Running TAVRO
// through XWayland keeps its windows (and the panels' placement) on that X server, so the
// double press works at least in TAVRO's own windows there.
#include <string>

struct DisplaySession {
    std::string sessionType;     // XDG_SESSION_TYPE
    std::string waylandDisplay;  // WAYLAND_DISPLAY
    std::string display;         // DISPLAY
    std::string qtPlatform;      // QT_QPA_PLATFORM as the user set it

    static DisplaySession fromEnvironment();

    enum class HotkeyReach {
        everywhere,    // an X11 session: every application
        x11Windows,    // Wayland with XWayland: TAVRO's windows and other X11 applications
        tavroWindows,  // Wayland without XWayland: TAVRO's windows only
    };

    bool wayland() const;
    // The platform to start Qt on; empty leaves it to Qt (or to the user, who set one).
    std::string chosenQtPlatform() const;
    HotkeyReach hotkeyReach() const;
};

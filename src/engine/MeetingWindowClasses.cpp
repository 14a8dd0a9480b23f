#include "engine/MeetingWindowClasses.h"

#include <array>

namespace {

struct WindowClass {
    const char* bundleId;
    const char* wmClass;
};

// Each string as `xprop WM_CLASS` shows it for the Linux build, with where it was confirmed.
// Teams and Webex have no Linux client that we could confirm (Teams runs in a browser there);
// Safari and Arc do not exist on Linux. Those identifiers therefore never match.
constexpr std::array kWindowClasses{
    // Zoom's own package: "zoom", "zoom" (xprop in flathub/us.zoom.Zoom#145; Zoom.desktop's
    // StartupWMClass corrected to it in flathub/us.zoom.Zoom#242).
    WindowClass{"us.zoom.xos", "zoom"},
    // "google-chrome", "Google-chrome" (xprop in rhiokim/haroopad#610).
    WindowClass{"com.google.Chrome", "Google-chrome"},
    // Chromium, the open build of Chrome that Linux distributions ship: class "Chromium" (xprop
    // in cboddy/i3-workspace-names-daemon#23), "Chromium-browser" where the binary is named so
    // (UnitedRPMs/chromium-freeworld#1).
    WindowClass{"com.google.Chrome", "Chromium"},
    WindowClass{"com.google.Chrome", "Chromium-browser"},
    // "brave-browser", "Brave-browser" (xprop in brave/brave-browser#9313 and
    // ChrisTitusTech/Debian-titus#36).
    WindowClass{"com.brave.Browser", "Brave-browser"},
    // "microsoft-edge" (the stable build's StartupWMClass, fixed to match its windows in
    // flathub/com.microsoft.Edge#170).
    WindowClass{"com.microsoft.edgemac", "microsoft-edge"},
    // "Navigator", "firefox" for current releases (xprop in ubuntu-mate/mate-tweak#87),
    // "Firefox" for older ones (xprop in awesomeWM/awesome#3044, srevinsaju/Firefox-Appimage#13),
    // "firefox-esr" for Debian's ESR (xprop on Debian 12 in fauzymadani/dotfiles, README) and
    // "firefox_firefox" for the Ubuntu snap (canonical/firefox-snap#126).
    WindowClass{"org.mozilla.firefox", "firefox"},
    WindowClass{"org.mozilla.firefox", "Firefox"},
    WindowClass{"org.mozilla.firefox", "firefox-esr"},
    WindowClass{"org.mozilla.firefox", "firefox_firefox"},
};

}  // namespace

std::optional<std::string> bundleIdForWindowClass(std::string_view instance,
                                                  std::string_view wmClass) {
    for (const WindowClass& entry : kWindowClasses)
        if (wmClass == entry.wmClass || instance == entry.wmClass) return entry.bundleId;
    return std::nullopt;
}

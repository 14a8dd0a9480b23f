#include "app/ActivationToken.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <QtGlobal>

#include <cxxabi.h>
#include <dlfcn.h>

namespace ActivationToken {

namespace {

// Qt's Wayland windows take a token for their next activation request, but the headers of Qt's
// Wayland client are private and not installed: its exported symbols are looked up in the
// library that the Wayland platform has loaded. Where one is missing, the window still asks,
// only without the token.
class WaylandWindows {
public:
    WaylandWindows() {
        // Never loaded here: outside a Wayland session it is not there, and nothing is wanted.
        void* client = dlopen("libQt6WaylandClient.so.6", RTLD_LAZY | RTLD_NOLOAD);
        if (!client) return;
        platformWindow_ = static_cast<const abi::__class_type_info*>(
            dlsym(RTLD_DEFAULT, "_ZTI15QPlatformWindow"));
        waylandWindow_ = static_cast<const abi::__class_type_info*>(
            dlsym(client, "_ZTIN15QtWaylandClient14QWaylandWindowE"));
        shellSurface_ = reinterpret_cast<ShellSurface>(
            dlsym(client, "_ZNK15QtWaylandClient14QWaylandWindow12shellSurfaceEv"));
        setToken_ = reinterpret_cast<SetToken>(dlsym(
            client, "_ZN15QtWaylandClient14QWaylandWindow21setXdgActivationTokenERK7QString"));
    }

    // Gives `token` to the next activation request of `window`; false where it cannot.
    bool give(const QWindow& window, const QString& token) const {
        if (!platformWindow_ || !waylandWindow_ || !shellSurface_ || !setToken_) return false;
        if (!window.handle()) return false;
        void* wayland = abi::__dynamic_cast(window.handle(), platformWindow_, waylandWindow_, -1);
        // The token is kept by the window's shell surface, which a window has once shown.
        if (!wayland || !shellSurface_(wayland)) return false;
        setToken_(wayland, token);
        return true;
    }

private:
    // Member functions, called with the window as their first argument.
    using ShellSurface = void* (*)(const void* window);
    using SetToken = void (*)(void* window, const QString& token);

    const abi::__class_type_info* platformWindow_ = nullptr;
    const abi::__class_type_info* waylandWindow_ = nullptr;
    ShellSurface shellSurface_ = nullptr;
    SetToken setToken_ = nullptr;
};

}  // namespace

QString takeOfThisStart() {
    const QString token = qEnvironmentVariable(kVariable);
    qunsetenv(kVariable);
    return token;
}

bool activate(QWidget& window, const QString& token) {
    bool handed = false;
    if (!token.isEmpty() && QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        static const WaylandWindows windows;
        if (const QWindow* handle = window.windowHandle()) handed = windows.give(*handle, token);
    }
    window.activateWindow();
    return handed;
}

}  // namespace ActivationToken

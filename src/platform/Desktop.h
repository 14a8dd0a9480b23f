#pragma once
// The desktop around the app: opening addresses with the user's default handler and bringing
// the app's windows to the front. Tests swap the opener and the activator for recorders.
#include <QUrl>

#include <functional>

class Desktop {
public:
    Desktop() = delete;

    using Opener = std::function<bool(const QUrl&)>;
    using Activator = std::function<void()>;

    // Hands the address to the default handler (the browser for web addresses). False when it
    // could not be handed over; whether the handler then succeeds is not known.
    static bool openUrl(const QUrl& url);
    // Raises the app's visible windows and asks the window manager to activate the first one.
    static void bringToFront();

    // Replace the system behaviour; an empty function restores it. Each returns the previous one.
    static Opener setOpener(Opener opener);
    static Activator setActivator(Activator activator);

    // The system behaviour: QDesktopServices in a GUI application, else xdg-open.
    static bool systemOpen(const QUrl& url);
    static void systemBringToFront();
};

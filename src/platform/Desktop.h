#pragma once
// The desktop around the app: opening addresses with the user's default handler and bringing
// the app's windows to the front. Tests swap the opener and the activator for recorders.
#include <QString>
#include <QUrl>

#include <functional>

class Desktop {
public:
    Desktop() = delete;

    using Opener = std::function<bool(const QUrl&)>;
    using Activator = std::function<void()>;

    // Hands the address to the default handler (the browser for web addresses). False when it
    // could not be handed over: no application is set up for it, or it would not start. Then
    // say so where the user asked, with cannotOpenText(); whether the handler then succeeds is
    // not known.
    static bool openUrl(const QUrl& url);
    // The line to show when openUrl() returned false, naming what could not be opened: the
    // browser for a web address, else the folder or file with its path.
    static QString cannotOpenText(const QUrl& url);
    // That line for a folder, also for one that is no longer there.
    static QString cannotOpenFolderText(const QString& path);
    // That line for a web address, for callers that open one they do not hold.
    static QString noBrowserText();
    // Raises the app's visible windows and asks the window manager to activate the first one.
    static void bringToFront();

    // Replace the system behaviour; an empty function restores it. Each returns the previous one.
    static Opener setOpener(Opener opener);
    static Activator setActivator(Activator activator);

    // The system behaviour: the desktop's default application for the address, as its
    // application settings record it.
    static bool systemOpen(const QUrl& url);
    static void systemBringToFront();
};

#pragma once
// What happens once the application is up, and with addresses the desktop hands to it: the
// launch starts the hotkey, the calendar watcher, the update check and capture exclusion; every
// "tavro" address goes to the integration callback.
//
// A click on an update notice opens the download; the update checker listens for that click
// itself, so nothing here handles notifications.
#include <QObject>
#include <QStringList>

class AppServices;
class UpdateChecker;
class UserDefaults;

class AppDelegate : public QObject {
    Q_OBJECT
public:
    AppDelegate(AppServices& services, UpdateChecker& updates, QObject* parent = nullptr);

    // The launch sequence; runs once, a second call does nothing.
    void applicationDidFinishLaunching();
    bool launched() const { return launched_; }

    // Each address, first to last, to the integration callback, which drops what it does not
    // accept.
    void openUrls(const QStringList& urls);

private:
    AppServices& services_;
    UpdateChecker& updates_;
    bool launched_ = false;
};

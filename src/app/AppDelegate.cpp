#include "app/AppDelegate.h"

#include "app/AppServices.h"
#include "desktop/CalendarWatcher.h"
#include "desktop/HotkeyMonitor.h"
#include "desktop/Stealth.h"
#include "platform/Notifier.h"
#include "service/OAuthLink.h"
#include "service/UpdateChecker.h"
#include "util/UserDefaults.h"

AppDelegate::AppDelegate(AppServices& services, UpdateChecker& updates, QObject* parent)
    : QObject(parent), services_(services), updates_(updates) {}

void AppDelegate::applicationDidFinishLaunching() {
    if (launched_) return;
    launched_ = true;
    // Notifications need no permission here: the desktop's notification service shows them or
    // is absent, and the posting code copes with both.
    services_.hotkey().startMonitoring();
    services_.calendar().start();
    updates_.start();
    Stealth::start(services_.defaults());
    // A damaged settings file was set aside and the app starts with defaults: say so once,
    // naming where the old file is, rather than letting settings vanish silently.
    if (const std::string damaged = services_.defaults().loadError(); !damaged.empty())
        notify("設定ファイルを読み込めませんでした", damaged);
}

void AppDelegate::openUrls(const QStringList& urls) {
    for (const QString& url : urls) OAuthLink::handle(url.toStdString(), services_.defaults());
}

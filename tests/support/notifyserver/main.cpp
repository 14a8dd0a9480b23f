// A notification server for tests: owns org.freedesktop.Notifications on the session bus,
// records every Notify call and lets tests click notifications (org.tavro.TestNotifications).
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMetaType>
#include <QList>
#include <QVariantMap>

#include <cstdio>

#include "NotificationStore.h"
#include "NotificationsAdaptor.h"
#include "TestNotificationsAdaptor.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<QList<QVariantMap>>();

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "notifyserver: no session bus: %s\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }

    NotificationStore store;
    new NotificationsAdaptor(&store);
    new TestNotificationsAdaptor(&store);
    if (!bus.registerObject("/org/freedesktop/Notifications", &store)) {
        std::fprintf(stderr, "notifyserver: cannot register the object\n");
        return 1;
    }
    // The name goes last, so whoever sees it owned can call at once.
    if (!bus.registerService("org.freedesktop.Notifications")) {
        std::fprintf(stderr, "notifyserver: org.freedesktop.Notifications is taken: %s\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    return app.exec();
}

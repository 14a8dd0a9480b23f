#include "TestStatusNotifierWatcher.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QMutexLocker>

namespace {
const QString kService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kPath = QStringLiteral("/StatusNotifierWatcher");
const QString kConnection = QStringLiteral("tavro-test-status-notifier-watcher");
}  // namespace

QStringList StatusNotifierWatcherObject::items() const {
    QMutexLocker lock(&mutex_);
    return items_;
}

void StatusNotifierWatcherObject::RegisterStatusNotifierItem(const QString& service) {
    // An item may name itself by bus name or by object path on its own connection.
    const QString item =
        service.startsWith(QLatin1Char('/')) ? message().service() + service : service;
    QMutexLocker lock(&mutex_);
    items_.append(item);
}

void StatusNotifierWatcherObject::RegisterStatusNotifierHost(const QString&) {}

TestStatusNotifierWatcher::TestStatusNotifierWatcher()
    : object_(new StatusNotifierWatcherObject),
      bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnection)) {
    object_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, object_, &QObject::deleteLater);
    thread_.start();
    if (!bus_.isConnected()) {
        error_ = bus_.lastError().message();
        return;
    }
    if (!bus_.registerObject(
            kPath, object_,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties)) {
        error_ = QStringLiteral("cannot register the watcher object");
        return;
    }
    if (!bus_.registerService(kService)) {
        error_ = bus_.lastError().message();
        return;
    }
    ok_ = true;
}

TestStatusNotifierWatcher::~TestStatusNotifierWatcher() {
    bus_.unregisterService(kService);
    bus_.unregisterObject(kPath);
    QDBusConnection::disconnectFromBus(kConnection);
    thread_.quit();
    thread_.wait();
}

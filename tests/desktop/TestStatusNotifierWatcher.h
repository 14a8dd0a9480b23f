#pragma once
// A tray host stand-in on the session bus: org.kde.StatusNotifierWatcher with a host
// registered, so that tray icons register with it. It answers on a thread of its own, because
// Qt asks it synchronously from the main thread.
#include <QDBusConnection>
#include <QDBusContext>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QThread>

class StatusNotifierWatcherObject : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
public:
    QStringList items() const;
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public slots:
    void RegisterStatusNotifierItem(const QString& service);
    void RegisterStatusNotifierHost(const QString& service);

private:
    mutable QMutex mutex_;
    QStringList items_;
};

class TestStatusNotifierWatcher {
public:
    TestStatusNotifierWatcher();
    ~TestStatusNotifierWatcher();

    bool ok() const { return ok_; }
    QString error() const { return error_; }
    // The items registered so far, as "bus name" (or "bus name/path").
    QStringList items() const { return object_->items(); }

private:
    QThread thread_;
    StatusNotifierWatcherObject* object_;
    QDBusConnection bus_;
    bool ok_ = false;
    QString error_;
};

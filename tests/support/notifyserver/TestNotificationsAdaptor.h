#pragma once
#include <QDBusAbstractAdaptor>
#include <QList>
#include <QVariantMap>

class NotificationStore;

// Test-only controls: read what was notified, click a notification, start afresh.
class TestNotificationsAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tavro.TestNotifications")
public:
    explicit TestNotificationsAdaptor(NotificationStore* store);

public slots:
    // aa{sv}: one map per Notify call, oldest first (see NotificationStore::records).
    QList<QVariantMap> Notifications();
    // ActionInvoked(id, "default"), as a click on the notification's body.
    bool Click(uint id);
    bool InvokeAction(uint id, const QString& action_key);
    // Closes a showing notification as the user dismissing it.
    void Dismiss(uint id);
    void Clear();

private:
    NotificationStore* store_;
};

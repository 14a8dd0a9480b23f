#pragma once
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// The state of the test notification server: every Notify call in order, the ids still
// showing, and the signals a desktop's server emits when a notification goes away or is
// clicked. The two D-Bus adaptors on this object expose it.
class NotificationStore : public QObject {
    Q_OBJECT
public:
    // Reasons from the notification protocol's NotificationClosed signal.
    enum CloseReason : uint { Expired = 1, Dismissed = 2, ClosedByCall = 3 };

    using QObject::QObject;

    uint notify(const QString& appName, uint replacesId, const QString& appIcon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int expireTimeout);
    // The bus name of the last call's sender: tests running at once tell theirs apart by it.
    void noteSender(const QString& sender);
    void close(uint id, CloseReason reason);
    // Emits the action as if the user had pressed it; false if the id is not showing.
    bool invokeAction(uint id, const QString& actionKey);

    // Every Notify call so far, oldest first, each as a{sv} with the keys id, app_name,
    // replaces_id, app_icon, summary, body, actions, hint_keys, expire_timeout, open, sender.
    QList<QVariantMap> records() const;
    void clear();

signals:
    void actionInvoked(uint id, const QString& actionKey);
    void notificationClosed(uint id, uint reason);

private:
    QList<QVariantMap> records_;
    QList<uint> open_;
    uint lastId_ = 0;
};

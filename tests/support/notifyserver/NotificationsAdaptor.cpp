#include "NotificationsAdaptor.h"

#include "NotificationStore.h"

NotificationsAdaptor::NotificationsAdaptor(NotificationStore* store)
    : QDBusAbstractAdaptor(store), store_(store) {
    connect(store, &NotificationStore::notificationClosed, this,
            &NotificationsAdaptor::NotificationClosed);
    connect(store, &NotificationStore::actionInvoked, this, &NotificationsAdaptor::ActionInvoked);
}

uint NotificationsAdaptor::Notify(const QString& app_name, uint replaces_id,
                                  const QString& app_icon, const QString& summary,
                                  const QString& body, const QStringList& actions,
                                  const QVariantMap& hints, int expire_timeout,
                                  const QDBusMessage& message) {
    const uint id = store_->notify(app_name, replaces_id, app_icon, summary, body, actions, hints,
                                   expire_timeout);
    store_->noteSender(message.service());
    return id;
}

void NotificationsAdaptor::CloseNotification(uint id) {
    store_->close(id, NotificationStore::ClosedByCall);
}

QStringList NotificationsAdaptor::GetCapabilities() {
    // Like most desktop servers: markup in bodies, no sound of its own.
    return {"actions", "body", "body-markup"};
}

QString NotificationsAdaptor::GetServerInformation(QString& vendor, QString& version,
                                                   QString& protocol_version) {
    vendor = "tavro";
    version = "1";
    protocol_version = "1.2";
    return "tavro-test-notifyserver";
}

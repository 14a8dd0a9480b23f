#include "TestNotificationsAdaptor.h"

#include "NotificationStore.h"

TestNotificationsAdaptor::TestNotificationsAdaptor(NotificationStore* store)
    : QDBusAbstractAdaptor(store), store_(store) {}

QList<QVariantMap> TestNotificationsAdaptor::Notifications() {
    return store_->records();
}

bool TestNotificationsAdaptor::Click(uint id) {
    return store_->invokeAction(id, "default");
}

bool TestNotificationsAdaptor::InvokeAction(uint id, const QString& action_key) {
    return store_->invokeAction(id, action_key);
}

void TestNotificationsAdaptor::Dismiss(uint id) {
    store_->close(id, NotificationStore::Dismissed);
}

void TestNotificationsAdaptor::Clear() {
    store_->clear();
}

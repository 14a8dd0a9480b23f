#include "NotificationStore.h"

uint NotificationStore::notify(const QString& appName, uint replacesId, const QString& appIcon,
                               const QString& summary, const QString& body,
                               const QStringList& actions, const QVariantMap& hints,
                               int expireTimeout) {
    // A replacement keeps the id of a notification that is still showing.
    const uint id = (replacesId != 0 && open_.contains(replacesId)) ? replacesId : ++lastId_;
    if (!open_.contains(id)) open_.append(id);
    QStringList textHints;  // "key=value" for every hint that is text
    for (auto it = hints.cbegin(); it != hints.cend(); ++it)
        if (it.value().metaType().id() == QMetaType::QString)
            textHints.append(it.key() + "=" + it.value().toString());
    records_.append(QVariantMap{
        {"id", id},
        {"app_name", appName},
        {"replaces_id", replacesId},
        {"app_icon", appIcon},
        {"summary", summary},
        {"body", body},
        {"actions", actions},
        {"hint_keys", QStringList(hints.keys())},
        {"text_hints", textHints},
        {"expire_timeout", expireTimeout},
    });
    return id;
}

void NotificationStore::noteSender(const QString& sender) {
    if (!records_.isEmpty()) records_.last().insert("sender", sender);
}

void NotificationStore::close(uint id, CloseReason reason) {
    if (!open_.removeOne(id)) return;
    emit notificationClosed(id, reason);
}

bool NotificationStore::invokeAction(uint id, const QString& actionKey) {
    if (!open_.contains(id)) return false;
    emit actionInvoked(id, actionKey);
    // Desktop servers take a clicked notification away; clients see that too.
    close(id, Dismissed);
    return true;
}

QList<QVariantMap> NotificationStore::records() const {
    QList<QVariantMap> out = records_;
    for (QVariantMap& r : out) r.insert("open", open_.contains(r.value("id").toUInt()));
    return out;
}

void NotificationStore::clear() {
    records_.clear();
}

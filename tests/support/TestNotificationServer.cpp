#include "support/TestNotificationServer.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QList>
#include <QVariantMap>

namespace testsupport {
namespace {

QDBusMessage call(const QString& method, const QVariantList& args = {}) {
    QDBusMessage msg = QDBusMessage::createMethodCall("org.freedesktop.Notifications",
                                                      "/org/freedesktop/Notifications",
                                                      "org.tavro.TestNotifications", method);
    msg.setArguments(args);
    return QDBusConnection::sessionBus().call(msg, QDBus::Block, 5000);
}

bool boolReply(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().at(0).toBool();
}

}  // namespace

std::optional<std::vector<RecordedNotification>> TestNotificationServer::notifications() {
    qDBusRegisterMetaType<QList<QVariantMap>>();
    const QDBusMessage reply = call("Notifications");
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const auto maps =
        qdbus_cast<QList<QVariantMap>>(reply.arguments().at(0).value<QDBusArgument>());
    std::vector<RecordedNotification> out;
    for (const QVariantMap& m : maps) {
        RecordedNotification r;
        r.id = m.value("id").toUInt();
        r.appName = m.value("app_name").toString();
        r.replacesId = m.value("replaces_id").toUInt();
        r.summary = m.value("summary").toString();
        r.body = m.value("body").toString();
        r.actions = m.value("actions").toStringList();
        r.textHints = m.value("text_hints").toStringList();
        r.expireTimeout = m.value("expire_timeout").toInt();
        r.open = m.value("open").toBool();
        r.sender = m.value("sender").toString();
        out.push_back(r);
    }
    return out;
}

std::vector<RecordedNotification> TestNotificationServer::notificationsWithId(uint id) {
    std::vector<RecordedNotification> out;
    for (const auto& r : notifications().value_or(std::vector<RecordedNotification>{}))
        if (r.id == id) out.push_back(r);
    return out;
}

bool TestNotificationServer::click(uint id) {
    return boolReply(call("Click", {id}));
}

bool TestNotificationServer::invokeAction(uint id, const QString& actionKey) {
    return boolReply(call("InvokeAction", {id, actionKey}));
}

bool TestNotificationServer::dismiss(uint id) {
    return call("Dismiss", {id}).type() == QDBusMessage::ReplyMessage;
}

}  // namespace testsupport

// The test notification server: Notify is recorded, a click comes back as
// ActionInvoked(id, "default"), and the close paths report their reasons.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

#include <gtest/gtest.h>

#include "support/DBusSignalRecorder.h"
#include "support/TestEnv.h"
#include "support/TestNotificationServer.h"

using namespace std::chrono_literals;
using testsupport::DBusSignalRecorder;
using testsupport::TestNotificationServer;

namespace {

const QString kService = "org.freedesktop.Notifications";
const QString kPath = "/org/freedesktop/Notifications";
const QString kInterface = "org.freedesktop.Notifications";

QString appName() {
    return QString("tavro-env-test-%1").arg(QCoreApplication::applicationPid());
}

QDBusMessage callServer(const QString& method, const QVariantList& args = {}) {
    QDBusMessage msg = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    msg.setArguments(args);
    return QDBusConnection::sessionBus().call(msg, QDBus::Block, 5000);
}

uint notify(uint replacesId, const QString& summary, const QStringList& actions) {
    const QDBusMessage reply = callServer(
        "Notify", {appName(), replacesId, QString(), summary, QString("body text"), actions,
                   QVariantMap{{"urgency", QVariant::fromValue<uchar>(1)}}, -1});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return 0;
    return reply.arguments().at(0).toUInt();
}

std::function<bool(const QDBusMessage&)> forId(uint id) {
    return [id](const QDBusMessage& m) {
        return !m.arguments().isEmpty() && m.arguments().at(0).toUInt() == id;
    };
}

TEST(NotificationServer, RecordsNotifyAndReportsAClick) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    QDBusConnection bus = QDBusConnection::sessionBus();
    DBusSignalRecorder invoked(bus, kService, kPath, kInterface, "ActionInvoked");
    DBusSignalRecorder closed(bus, kService, kPath, kInterface, "NotificationClosed");
    ASSERT_TRUE(invoked.isSubscribed() && closed.isSubscribed());

    const uint id = notify(0, "Minutes ready: 週次定例", {"default", "Open"});
    ASSERT_GT(id, 0u);
    const auto records = TestNotificationServer::notificationsWithId(id);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].appName, appName());
    EXPECT_EQ(records[0].summary, "Minutes ready: 週次定例");
    EXPECT_EQ(records[0].body, "body text");
    EXPECT_EQ(records[0].actions, (QStringList{"default", "Open"}));
    EXPECT_TRUE(records[0].open);

    ASSERT_TRUE(TestNotificationServer::click(id));
    const auto action = invoked.waitFor(forId(id), 5s);
    ASSERT_TRUE(action.has_value()) << "no ActionInvoked for " << id;
    EXPECT_EQ(action->arguments().at(1).toString(), "default");
    const auto gone = closed.waitFor(forId(id), 5s);
    ASSERT_TRUE(gone.has_value());
    EXPECT_EQ(gone->arguments().at(1).toUInt(), 2u);  // dismissed by the user
    EXPECT_FALSE(TestNotificationServer::click(id)) << "a clicked notification is gone";
}

TEST(NotificationServer, ReplacesKeepTheIdAndCloseReportsReasonThree) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    QDBusConnection bus = QDBusConnection::sessionBus();
    DBusSignalRecorder closed(bus, kService, kPath, kInterface, "NotificationClosed");
    ASSERT_TRUE(closed.isSubscribed());

    const uint id = notify(0, "first", {});
    ASSERT_GT(id, 0u);
    EXPECT_EQ(notify(id, "second", {}), id);
    const uint other = notify(0, "third", {});
    EXPECT_GT(other, id);
    const auto records = TestNotificationServer::notificationsWithId(id);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].summary, "second");
    EXPECT_EQ(records[1].replacesId, id);

    ASSERT_EQ(callServer("CloseNotification", {id}).type(), QDBusMessage::ReplyMessage);
    const auto gone = closed.waitFor(forId(id), 5s);
    ASSERT_TRUE(gone.has_value());
    EXPECT_EQ(gone->arguments().at(1).toUInt(), 3u);  // closed by a call
    EXPECT_TRUE(TestNotificationServer::dismiss(other));

    const QDBusMessage caps = callServer("GetCapabilities");
    ASSERT_EQ(caps.type(), QDBusMessage::ReplyMessage);
    const QStringList list = caps.arguments().at(0).toStringList();
    EXPECT_TRUE(list.contains("actions") && list.contains("body")) << list.join(",").toStdString();
}

}  // namespace

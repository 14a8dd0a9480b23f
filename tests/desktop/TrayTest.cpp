#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

#include <gtest/gtest.h>

#include "FakeRecorder.h"
#include "TestStatusNotifierWatcher.h"
#include "desktop/MenuBarContent.h"
#include "desktop/MenuBarIcon.h"
#include "support/TestEnv.h"

namespace {

const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString kMenuInterface = QStringLiteral("com.canonical.dbusmenu");

struct MenuNode {
    int id = 0;
    QVariantMap props;
    std::vector<MenuNode> children;
};

MenuNode readNode(const QDBusArgument& arg) {
    MenuNode n;
    arg.beginStructure();
    arg >> n.id >> n.props;
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant child;
        arg >> child;
        n.children.push_back(readNode(child.variant().value<QDBusArgument>()));
    }
    arg.endArray();
    arg.endStructure();
    return n;
}

// The tray is served from our main thread, so every call to it is made asynchronously and
// waited for while the event loop runs.
class TrayTest : public ::testing::Test {
protected:
    void SetUp() override {
        TAVRO_REQUIRE_ENV("session bus", testsupport::probeSessionBus());
        client_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                QStringLiteral("tavro-test-tray-client"));
        ASSERT_TRUE(client_.isConnected());
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("tavro-test-tray-client"));
    }

    QDBusMessage call(const QString& service, const QString& path, const QString& iface,
                      const QString& method, const QVariantList& args) {
        QDBusMessage m = QDBusMessage::createMethodCall(service, path, iface, method);
        m.setArguments(args);
        QDBusPendingCall pending = client_.asyncCall(m, 5000);
        EXPECT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }, 6000));
        EXPECT_FALSE(pending.isError()) << pending.error().message().toStdString();
        return pending.reply();
    }

    QVariant property(const QString& service, const QString& path, const QString& iface,
                      const QString& name) {
        const QDBusMessage r =
            call(service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                 QStringLiteral("Get"), {iface, name});
        return r.arguments().value(0).value<QDBusVariant>().variant();
    }

    MenuNode layout(const QString& service, const QString& menuPath) {
        const QDBusMessage r = call(service, menuPath, kMenuInterface, QStringLiteral("GetLayout"),
                                    {0, -1, QStringList()});
        if (r.arguments().size() < 2) return {};
        return readNode(r.arguments().at(1).value<QDBusArgument>());
    }

    static std::vector<std::pair<int, QString>> labels(const MenuNode& root) {
        std::vector<std::pair<int, QString>> out;
        for (const MenuNode& c : root.children) {
            if (c.props.value(QStringLiteral("visible"), true).toBool())
                out.emplace_back(c.id, c.props.value(QStringLiteral("type")).toString() ==
                                               QStringLiteral("separator")
                                           ? QStringLiteral("-")
                                           : c.props.value(QStringLiteral("label")).toString());
        }
        return out;
    }

    QDBusConnection client_{QString()};
};

TEST_F(TrayTest, ClickedThroughTheStatusNotifierWatcher) {
    TestStatusNotifierWatcher watcher;
    ASSERT_TRUE(watcher.ok()) << watcher.error().toStdString();

    FakeRecorder rec;
    MenuBarContent content(rec, {});
    MenuBarIcon icon(rec, content.menu());
    ASSERT_TRUE(MenuBarIcon::available());
    icon.setVisible(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.items().isEmpty(); }, 5000));
    const QString service = watcher.items().first();

    // A click on the symbol.
    QSignalSpy activated(icon.trayIcon(), &QSystemTrayIcon::activated);
    call(service, kItemPath, kItemInterface, QStringLiteral("Activate"), {0, 0});
    ASSERT_TRUE(QTest::qWaitFor([&] { return activated.count() == 1; }, 5000));
    EXPECT_EQ(activated.at(0).at(0).value<QSystemTrayIcon::ActivationReason>(),
              QSystemTrayIcon::Trigger);
    content.menu()->hide();

    // The menu as the tray host sees it, and a click on its first item.
    const QString menuPath = property(service, kItemPath, kItemInterface, QStringLiteral("Menu"))
                                 .value<QDBusObjectPath>()
                                 .path();
    ASSERT_FALSE(menuPath.isEmpty());
    auto items = labels(layout(service, menuPath));
    std::vector<QString> texts;
    for (const auto& [id, text] : items) texts.push_back(text);
    EXPECT_EQ(texts, (std::vector<QString>{QStringLiteral("録音を開始"), QStringLiteral("-"),
                                           QStringLiteral("TAVROを開く"), QStringLiteral("設定…"),
                                           QStringLiteral("-"), QStringLiteral("TAVROを終了")}));
    ASSERT_FALSE(items.empty());
    call(service, menuPath, kMenuInterface, QStringLiteral("Event"),
         {items[0].first, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
    ASSERT_TRUE(QTest::qWaitFor([&] { return rec.toggles == 1; }, 5000));
    EXPECT_EQ(rec.phase(), RecorderControl::Phase::recording);
    EXPECT_EQ(icon.symbolName(), QStringLiteral("record.circle.fill"));

    rec.setElapsed(9);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            auto now = labels(layout(service, menuPath));
            return !now.empty() &&
                   now[0].second == QStringLiteral("録音を停止して議事録作成 (0:09)");
        },
        5000));
}

}  // namespace

// The tray: the clock text, the rendered menu, and the icon clicked through a tray host on the
// private bus.
#include <QAction>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QImage>
#include <QMenu>
#include <QMutex>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include "FakeRecorder.h"
#include "desktop/ClockText.h"
#include "desktop/MenuBarContent.h"
#include "desktop/MenuBarIcon.h"
#include "desktop/Symbols.h"
#include "support/TestEnv.h"

namespace {

using Phase = RecorderControl::Phase;

TEST(ClockText, MinutesAreNeverFoldedIntoHours) {
    for (const auto& [seconds, text] :
         {std::pair{0, "0:00"}, {9, "0:09"}, {60, "1:00"}, {3725, "62:05"}, {-5, "0:00"}})
        EXPECT_EQ(clockText(seconds), text) << seconds;
}

QAction* labelled(QMenu* menu, const char* text) {
    for (QAction* a : menu->actions())
        if (a->text() == QString::fromUtf8(text)) return a;
    return nullptr;
}

// The rendered menu drives the recorder and hands the other items to the application.
TEST(MenuBarContent, RendersAndDrives) {
    FakeRecorder rec;
    int downloads = 0, mains = 0, settings = 0, quits = 0;
    MenuBarContent content(
        rec, {[&] { ++downloads; }, [&] { ++mains; }, [&] { ++settings; }, [&] { ++quits; }});
    QMenu* menu = content.menu();
    ASSERT_EQ(menu->actions().size(), 6);

    labelled(menu, "録音を開始")->trigger();
    rec.setElapsed(9);
    QAction* stop = labelled(menu, "録音を停止して議事録作成 (0:09)");
    ASSERT_NE(stop, nullptr);
    rec.setElapsed(10);
    EXPECT_EQ(stop->text(), QStringLiteral("録音を停止して議事録作成 (0:10)"))
        << "the clock updates the same item";
    stop->trigger();
    ASSERT_NE(labelled(menu, "AIが議事録を作成中…"), nullptr);
    EXPECT_FALSE(labelled(menu, "AIが議事録を作成中…")->isEnabled());
    EXPECT_EQ(rec.toggles, 2);

    content.setAvailableVersion(std::string("1.4.0"));
    menu->actions()[0]->trigger();
    content.setAvailableVersion(std::nullopt);
    EXPECT_EQ(menu->actions().size(), 8) << "a found version stays";
    for (const char* item : {"TAVROを開く", "設定…", "TAVROを終了"})
        labelled(menu, item)->trigger();
    EXPECT_EQ(std::vector<int>({downloads, mains, settings, quits}), std::vector<int>(4, 1));

    MenuBarContent bare(rec, {});
    bare.setAvailableVersion(std::string("1.4.0 Q&A"));
    EXPECT_EQ(bare.menu()->actions()[0]->text(),
              QStringLiteral("\u2B07\uFE0E アップデート (v1.4.0 Q&&A) をダウンロード…"));
    bare.menu()->actions()[0]->trigger();  // nothing wired: nothing happens, no crash
}

const QString kConnection = QStringLiteral("tavro-test-tray");
const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItem = QStringLiteral("org.kde.StatusNotifierItem");
const QString kMenu = QStringLiteral("com.canonical.dbusmenu");

}  // namespace

// A tray host stand-in: a StatusNotifierWatcher with a host registered, so that tray icons
// register with it. It answers on a thread of its own, because Qt asks it synchronously from
// the main thread.
class StatusNotifierWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
public:
    bool hostRegistered() const { return true; }
    QString firstItem() const {
        QMutexLocker lock(&mutex_);
        return items_.value(0);
    }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service) {
        // An item may name itself by its object path; the bus name is what is called.
        QMutexLocker lock(&mutex_);
        items_.append(service.startsWith(QLatin1Char('/')) ? message().service() : service);
    }

private:
    mutable QMutex mutex_;
    QStringList items_;
};

namespace {

// The tray is served from our main thread, so every call to it is made asynchronously and
// waited for while the event loop runs.
class TrayTest : public ::testing::Test {
protected:
    void SetUp() override {
        watcher_->moveToThread(&thread_);
        QObject::connect(&thread_, &QThread::finished, watcher_, &QObject::deleteLater);
        thread_.start();
        TAVRO_REQUIRE_ENV("session bus", testsupport::probeSessionBus());
        ASSERT_TRUE(bus_.isConnected());
        ASSERT_TRUE(bus_.registerObject(
            QStringLiteral("/StatusNotifierWatcher"), watcher_,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties));
        ASSERT_TRUE(bus_.registerService(kWatcherService))
            << bus_.lastError().message().toStdString();
    }
    void TearDown() override {
        bus_.unregisterService(kWatcherService);
        QDBusConnection::disconnectFromBus(kConnection);
        thread_.quit();
        thread_.wait();
    }

    QDBusMessage call(const QString& path, const QString& iface, const QString& method,
                      const QVariantList& args) {
        QDBusMessage m = QDBusMessage::createMethodCall(service_, path, iface, method);
        m.setArguments(args);
        QDBusPendingCall pending = bus_.asyncCall(m, 5000);
        EXPECT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }, 6000));
        EXPECT_FALSE(pending.isError()) << pending.error().message().toStdString();
        return pending.reply();
    }

    // The visible items as the tray host reads them: their ids, and their labels joined by
    // " | " with "-" for a separator.
    std::pair<std::vector<int>, QString> menu(const QString& menuPath) {
        const QDBusMessage r =
            call(menuPath, kMenu, QStringLiteral("GetLayout"), {0, -1, QStringList()});
        if (r.arguments().size() < 2) return {};
        // (id, properties, children); of the children only their own id and properties.
        const QDBusArgument root = r.arguments().at(1).value<QDBusArgument>();
        int id = 0;
        QVariantMap props;
        root.beginStructure();
        root >> id >> props;
        root.beginArray();
        std::vector<int> ids;
        QStringList labels;
        while (!root.atEnd()) {
            QDBusVariant child;
            root >> child;
            const QDBusArgument item = child.variant().value<QDBusArgument>();
            item.beginStructure();
            item >> id >> props;
            item.endStructure();
            if (!props.value(QStringLiteral("visible"), true).toBool()) continue;
            ids.push_back(id);
            labels << (props.value(QStringLiteral("type")) == QStringLiteral("separator")
                           ? QStringLiteral("-")
                           : props.value(QStringLiteral("label")).toString());
        }
        root.endArray();
        root.endStructure();
        return {ids, labels.join(QStringLiteral(" | "))};
    }

    QThread thread_;
    StatusNotifierWatcher* watcher_ = new StatusNotifierWatcher;
    QDBusConnection bus_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnection);
    QString service_;
};

TEST_F(TrayTest, ClickedThroughTheStatusNotifierWatcher) {
    FakeRecorder rec;
    MenuBarContent content(rec, {});
    MenuBarIcon icon(rec, content.menu());
    ASSERT_TRUE(MenuBarIcon::available());
    icon.setVisible(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher_->firstItem().isEmpty(); }, 5000));
    service_ = watcher_->firstItem();

    // A click on the symbol opens the menu.
    const QString item = QStringLiteral("/StatusNotifierItem");
    call(item, kItem, QStringLiteral("Activate"), {0, 0});
    EXPECT_TRUE(QTest::qWaitFor([&] { return content.menu()->isVisible(); }, 5000));
    content.menu()->hide();

    // The menu as the tray host sees it, and a click on its first item.
    const QDBusMessage reply = call(item, QStringLiteral("org.freedesktop.DBus.Properties"),
                                    QStringLiteral("Get"), {kItem, QStringLiteral("Menu")});
    const QVariant menuProperty = reply.arguments().value(0).value<QDBusVariant>().variant();
    const QString menuPath = menuProperty.value<QDBusObjectPath>().path();
    ASSERT_FALSE(menuPath.isEmpty());
    const auto [ids, labels] = menu(menuPath);
    EXPECT_EQ(labels, QStringLiteral("録音を開始 | - | TAVROを開く | 設定… | - | TAVROを終了"));
    ASSERT_FALSE(ids.empty());
    call(menuPath, kMenu, QStringLiteral("Event"),
         {ids[0], QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
    ASSERT_TRUE(QTest::qWaitFor([&] { return rec.toggles == 1; }, 5000));
    EXPECT_EQ(rec.phase(), Phase::recording);
    EXPECT_EQ(icon.symbolName(), QStringLiteral("record.circle.fill"));

    rec.setElapsed(9);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return menu(menuPath).second.startsWith(
                QStringLiteral("録音を停止して議事録作成 (0:09)"));
        },
        5000));
}

// In every phase the tray symbol stands out on a light and on a dark panel: at least a third as
// many pixels (a step of half the grey scale) as a plain black symbol on white, as a filled shape
// may show by its rim alone. The old symbol in the window text colour vanished on dark panels.
TEST(TrayIcon, LegibleOnLightAndDarkPanels) {
    auto standingOut = [](const QIcon& symbol, QColor panel) {
        QImage image(22, 22, QImage::Format_RGB32);
        image.fill(panel);
        QPainter(&image).drawPixmap(0, 0, symbol.pixmap(22));
        int count = 0;
        for (int i = 0; i < 22 * 22; ++i)
            count += std::abs(qGray(image.pixel(i % 22, i / 22)) - qGray(panel.rgb())) >= 128;
        return count;
    };
    FakeRecorder rec;
    QMenu menu;
    MenuBarIcon icon(rec, &menu);
    for (const auto phase : {Phase::idle, Phase::recording, Phase::processing}) {
        rec.setPhase(phase);
        const int plain = standingOut(Symbols::icon(icon.symbolName(), Qt::black), Qt::white);
        for (const QColor panel : {QColor(0xf6, 0xf5, 0xf4), QColor(0x24, 0x24, 0x24)})
            EXPECT_GE(standingOut(icon.trayIcon()->icon(), panel), plain / 3)
                << icon.symbolName().toStdString() << " on " << panel.name().toStdString();
    }
}

}  // namespace

#include "TrayTest.moc"

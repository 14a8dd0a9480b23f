// The desktop's button layout through GSettings (its memory backend, with the installed schema)
// and through a settings portal on the private session bus.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusVariant>
#include <QSignalSpy>
#include <QTest>

#include <gio/gio.h>

#include <gtest/gtest.h>

#include "platform/WindowButtonLayoutReader.h"
#include "support/TestEnv.h"

namespace {

using B = WindowButton;

// The settings portal as desktops offer it: version 2 answers ReadOne, version 1 only Read,
// whose value comes wrapped in one more variant. Settings it does not know are an error.
class PortalStandIn : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    int version = 2;
    std::optional<QString> buttonLayout;
    QStringList asked;

public Q_SLOTS:
    QDBusVariant ReadOne(const QString& ns, const QString& key) {
        asked << QStringLiteral("ReadOne");
        if (version < 2) {
            sendErrorReply(QDBusError::UnknownMethod, QStringLiteral("No such method"));
            return {};
        }
        return value(ns, key);
    }
    QDBusVariant Read(const QString& ns, const QString& key) {
        asked << QStringLiteral("Read");
        return QDBusVariant(QVariant::fromValue(value(ns, key)));
    }

private:
    QDBusVariant value(const QString& ns, const QString& key) {
        if (ns == QLatin1String(WindowButtonLayoutReader::kSchema) &&
            key == QLatin1String(WindowButtonLayoutReader::kKey) && buttonLayout)
            return QDBusVariant(*buttonLayout);
        sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"),
                       QStringLiteral("Requested setting not found"));
        return {};
    }
};

// GSettings in this process's memory, from the installed schema's defaults.
class WindowButtonLayoutReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("GSETTINGS_BACKEND", "memory");
        GSettingsSchemaSource* source = g_settings_schema_source_get_default();
        schema_ = source ? g_settings_schema_source_lookup(source,
                                                           WindowButtonLayoutReader::kSchema, TRUE)
                         : nullptr;
    }
    void TearDown() override {
        if (settings_) g_object_unref(settings_);
        if (schema_) g_settings_schema_unref(schema_);
    }
    bool hasSchema() const { return schema_ != nullptr; }
    void setLayout(const char* text) {
        if (!settings_) settings_ = g_settings_new_full(schema_, nullptr, nullptr);
        g_settings_set_string(settings_, WindowButtonLayoutReader::kKey, text);
    }

private:
    GSettingsSchema* schema_ = nullptr;
    GSettings* settings_ = nullptr;
};

TEST_F(WindowButtonLayoutReaderTest, GSettingsWithoutAPortal) {
    TAVRO_REQUIRE_ENV("the desktop schemas (gsettings-desktop-schemas)", hasSchema());
    TAVRO_REQUIRE_ENV("session bus", testsupport::probeSessionBus());
    // The desktop's default first, then the user's own choices.
    const std::pair<const char*, WindowButtonLayout> cases[] = {
        {nullptr, {{}, {B::close}}},
        {"close,maximize:", {{B::close, B::maximize}, {}}},
        {"appmenu:", WindowButtonLayout::standard()},  // names no button: unreadable
    };
    for (const auto& [text, layout] : cases) {
        SCOPED_TRACE(text ? text : "(default)");
        if (text) setLayout(text);
        WindowButtonLayoutReader reader(QDBusConnection::sessionBus());
        EXPECT_EQ(reader.layout(), layout) << "at once";
        ASSERT_TRUE(QTest::qWaitFor([&] { return !reader.waiting(); }, 10000));
        EXPECT_EQ(reader.layout(), layout) << "no portal changes nothing";
    }
    EXPECT_EQ(WindowButtonLayoutReader::fromGSettings(), "appmenu:");
}

TEST_F(WindowButtonLayoutReaderTest, ThePortalsAnswerWinsWhereItHasTheSetting) {
    TAVRO_REQUIRE_ENV("the desktop schemas (gsettings-desktop-schemas)", hasSchema());
    TAVRO_REQUIRE_ENV("session bus", testsupport::probeSessionBus());
    setLayout("close:");
    QDBusConnection portalBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("portal"));
    PortalStandIn portal;
    ASSERT_TRUE(portalBus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                                         QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(portalBus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));

    const struct {
        const char* name;
        int version;
        std::optional<QString> setting;
        WindowButtonLayout layout;
        QStringList asked;
    } cases[] = {
        {"version 2",
         2,
         QStringLiteral("minimize:close"),
         {{B::minimize}, {B::close}},
         {"ReadOne"}},
        {"version 1",
         1,
         QStringLiteral("close,maximize,minimize:"),
         {{B::close, B::maximize, B::minimize}, {}},
         {"ReadOne", "Read"}},
        {"without the setting", 2, std::nullopt, {{B::close}, {}}, {"ReadOne"}},
        {"with a text naming no button",
         2,
         QStringLiteral("appmenu"),
         {{B::close}, {}},
         {"ReadOne"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        portal.version = c.version;
        portal.buttonLayout = c.setting;
        portal.asked.clear();
        WindowButtonLayoutReader reader(QDBusConnection::sessionBus());
        QSignalSpy changed(&reader, &WindowButtonLayoutReader::layoutChanged);
        EXPECT_EQ(reader.layout(), (WindowButtonLayout{{B::close}, {}})) << "GSettings at once";
        ASSERT_TRUE(QTest::qWaitFor([&] { return !reader.waiting(); }, 10000));
        EXPECT_EQ(reader.layout(), c.layout);
        EXPECT_EQ(changed.size(), (c.layout == WindowButtonLayout{{B::close}, {}}) ? 0 : 1);
        EXPECT_EQ(portal.asked, c.asked);
    }
    portalBus.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
    QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
}

}  // namespace

#include "WindowButtonLayoutReaderTest.moc"

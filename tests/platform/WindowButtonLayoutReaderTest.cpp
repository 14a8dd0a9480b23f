// The desktop's button layout through GSettings (its memory backend, with the installed schema)
// and through a settings portal on the private session bus.
#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "platform/WindowButtonLayoutReader.h"
#include "support/FakeSettingsPortal.h"
#include "support/ScopedGnomeSetting.h"
#include "support/TestEnv.h"

namespace {

using B = WindowButton;
using testsupport::FakeSettingsPortal;
using testsupport::ScopedGnomeSetting;

const QString kSchema = QString::fromLatin1(WindowButtonLayoutReader::kSchema);
const QString kKey = QString::fromLatin1(WindowButtonLayoutReader::kKey);

void requireEnvironment() {
    TAVRO_REQUIRE_ENV("GNOME settings in memory", ScopedGnomeSetting::probe(kSchema));
    TAVRO_REQUIRE_ENV("session bus", testsupport::probeSessionBus());
}

TEST(WindowButtonLayoutReaderTest, GSettingsWithoutAPortal) {
    requireEnvironment();
    ScopedGnomeSetting gnome(kSchema, kKey);
    // The desktop's default first, then the user's own choices.
    const std::pair<const char*, WindowButtonLayout> cases[] = {
        {nullptr, {{}, {B::close}}},
        {"close,maximize:", {{B::close, B::maximize}, {}}},
        {"appmenu:", WindowButtonLayout::standard()},  // names no button: unreadable
    };
    for (const auto& [text, layout] : cases) {
        SCOPED_TRACE(text ? text : "(default)");
        if (text) gnome.set(text);
        WindowButtonLayoutReader reader(QDBusConnection::sessionBus());
        EXPECT_EQ(reader.layout(), layout) << "at once";
        ASSERT_TRUE(QTest::qWaitFor([&] { return !reader.waiting(); }, 10000));
        EXPECT_EQ(reader.layout(), layout) << "no portal changes nothing";
    }
    EXPECT_EQ(WindowButtonLayoutReader::fromGSettings(), "appmenu:");
}

// Version 2 of the portal answers ReadOne, version 1 only Read.
TEST(WindowButtonLayoutReaderTest, ThePortalsAnswerWinsWhereItHasTheSetting) {
    requireEnvironment();
    ScopedGnomeSetting gnome(kSchema, kKey);
    gnome.set("close:");

    const struct {
        const char* name;
        uint version;
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
        QMap<QString, QVariantMap> values;
        if (c.setting) values[kSchema][kKey] = *c.setting;
        FakeSettingsPortal portal(values, c.version);
        ASSERT_TRUE(portal.registered());
        WindowButtonLayoutReader reader(QDBusConnection::sessionBus());
        QSignalSpy changed(&reader, &WindowButtonLayoutReader::layoutChanged);
        EXPECT_EQ(reader.layout(), (WindowButtonLayout{{B::close}, {}})) << "GSettings at once";
        ASSERT_TRUE(QTest::qWaitFor([&] { return !reader.waiting(); }, 10000));
        EXPECT_EQ(reader.layout(), c.layout);
        EXPECT_EQ(changed.size(), (c.layout == WindowButtonLayout{{B::close}, {}}) ? 0 : 1);
        EXPECT_EQ(portal.calls(), c.asked);
    }
}

}  // namespace

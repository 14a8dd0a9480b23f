// The desktop's setting to reduce motion, read from GSettings (in-memory backend), from a
// settings portal answering on the test session bus, and from kdeglobals, and followed as it
// changes.
#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>

#include <cstdlib>
#include <fstream>
#include <optional>

#include <gtest/gtest.h>

#include "platform/DesktopMotionSetting.h"
#include "support/FakeSettingsPortal.h"
#include "support/ScopedGnomeSetting.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"

using Source = DesktopMotionSetting::Source;
using testsupport::FakeSettingsPortal;
using testsupport::ScopedGnomeSetting;

namespace {

const QString kGnome = QStringLiteral("org.gnome.desktop.interface");
const QString kGnomeKey = QStringLiteral("enable-animations");
const QString kKde = QStringLiteral("org.kde.kdeglobals.KDE");
const QString kKdeKey = QStringLiteral("AnimationDurationFactor");
const QString kAppearance = QStringLiteral("org.freedesktop.appearance");
const QString kAppearanceKey = QStringLiteral("reduced-motion");

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path) << text;
}

void requireEnvironment() {
    TAVRO_REQUIRE_ENV("session bus", testsupport::probeSessionBus());
    TAVRO_REQUIRE_ENV("GNOME settings in memory", ScopedGnomeSetting::probe(kGnome));
}

}  // namespace

TEST(DesktopMotionSetting, KdeglobalsFactor) {
    const std::pair<const char*, std::optional<double>> cases[] = {
        {"[KDE]\nAnimationDurationFactor=0\n", 0.0},
        {"[General]\nColorScheme=Breeze\n\n[KDE]\nAnimationDurationFactor=0.5\n", 0.5},
        {"[KDE]\r\n  AnimationDurationFactor = 0 \r\n", 0.0},
        {"[KDE]\nAnimationDurationFactor[$i]=0\n", 0.0},
        {"[KDE][$i]\nAnimationDurationFactor=0\n", 0.0},
        {"[KDE]\nAnimationDurationFactor=0\nAnimationDurationFactor=1\n", 1.0},  // the last wins
        {"[KDE]\nAnimationDurationFactor=0", 0.0},                               // no last newline
        {"[General]\nAnimationDurationFactor=0\n", std::nullopt},                // another group's
        {"[KDE][Sub]\nAnimationDurationFactor=0\n", std::nullopt},  // a group inside KDE
        {"AnimationDurationFactor=0\n", std::nullopt},              // before any group
        {"[KDE]\nAnimationDurationFactor[de]=0\n", std::nullopt},   // a translation
        {"[KDE]\nAnimationDurationFactor=\n", std::nullopt},
        {"[KDE]\nAnimationDurationFactor=0x\n", std::nullopt},
        {"[KDE]\n# AnimationDurationFactor=0\n", std::nullopt},
        {"[KDE]\nAnimationDurationFactorX=0\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, factor] : cases)
        EXPECT_EQ(DesktopMotionSetting::kdeAnimationFactor(text), factor) << text;
}

// Which source decides: the portal's keys before GSettings and the file, any source asking for
// stillness before those that do not.
TEST(DesktopMotionSetting, ReadsEachDesktopsSetting) {
    requireEnvironment();
    struct Case {
        const char* name;
        std::optional<QMap<QString, QVariantMap>> portal;  // none: no portal on the bus
        bool gnomeAnimations;
        const char* kdeglobals;  // nullptr: no file
        bool reduce;
        Source source;
    };
    const Case cases[] = {
        {"GNOME's default", std::nullopt, true, nullptr, false, Source::gsettings},
        {"GNOME without animations", std::nullopt, false, nullptr, true, Source::gsettings},
        {"KDE at factor 0", std::nullopt, true, "[KDE]\nAnimationDurationFactor=0\n", true,
         Source::kdeglobals},
        {"KDE at half speed", std::nullopt, true, "[KDE]\nAnimationDurationFactor=0.5\n", false,
         Source::gsettings},
        {"portal over GSettings, off", QMap<QString, QVariantMap>{{kGnome, {{kGnomeKey, false}}}},
         true, nullptr, true, Source::portal},
        {"portal over GSettings, on", QMap<QString, QVariantMap>{{kGnome, {{kGnomeKey, true}}}},
         false, nullptr, false, Source::portal},
        {"portal over kdeglobals",
         QMap<QString, QVariantMap>{{kKde, {{kKdeKey, QStringLiteral("1")}}}}, true,
         "[KDE]\nAnimationDurationFactor=0\n", false, Source::portal},
        {"KDE's factor through the portal",
         QMap<QString, QVariantMap>{{kKde, {{kKdeKey, QStringLiteral("0")}}}}, true, nullptr, true,
         Source::portal},
        {"the portal's own key", QMap<QString, QVariantMap>{{kAppearance, {{kAppearanceKey, 1u}}}},
         true, nullptr, true, Source::portal},
        {"no preference in the portal's own key",
         QMap<QString, QVariantMap>{{kAppearance, {{kAppearanceKey, 0u}}}}, true, nullptr, false,
         Source::portal},
        {"a portal without these keys", QMap<QString, QVariantMap>{}, false, nullptr, true,
         Source::gsettings},
        {"a value of the wrong type", QMap<QString, QVariantMap>{{kGnome, {{kGnomeKey, 0}}}}, false,
         nullptr, true, Source::gsettings},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedGnomeSetting gnome(kGnome, kGnomeKey);
        gnome.set(c.gnomeAnimations);
        testsupport::TempDir config;
        if (c.kdeglobals) writeFile(config / "kdeglobals", c.kdeglobals);
        std::optional<FakeSettingsPortal> portal;
        if (c.portal) {
            portal.emplace(*c.portal);
            ASSERT_TRUE(portal->registered());
        }
        DesktopMotionSetting setting(QDBusConnection::sessionBus(),
                                     {QString::fromStdString(config.path().string())});
        if (portal) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return setting.portalAnswered(); }, 10000));
        }
        EXPECT_EQ(setting.reduceMotion(), c.reduce);
        EXPECT_EQ(setting.source(), c.source);
    }
}

// A change of the setting while the app runs is seen through each route, once.
TEST(DesktopMotionSetting, FollowsChanges) {
    requireEnvironment();
    struct Route {
        const char* name;
        bool portal;
        std::function<void(bool reduce)> set;
        Source source;
    };
    ScopedGnomeSetting gnome(kGnome, kGnomeKey);
    testsupport::TempDir config;
    std::optional<FakeSettingsPortal> portal;
    const Route routes[] = {
        {"GSettings", false, [&](bool reduce) { gnome.set(!reduce); }, Source::gsettings},
        {"kdeglobals replaced", false,
         [&](bool reduce) {
             // As KDE writes it: a new file renamed over the old one.
             writeFile(config / "kdeglobals.new",
                       reduce ? "[KDE]\nAnimationDurationFactor=0\n" : "[KDE]\n");
             std::filesystem::rename(config / "kdeglobals.new", config / "kdeglobals");
         },
         Source::kdeglobals},
        {"portal, GNOME's key", true, [&](bool reduce) { portal->set(kGnome, kGnomeKey, !reduce); },
         Source::portal},
        {"portal, KDE's key", true,
         [&](bool reduce) {
             portal->set(kKde, kKdeKey, reduce ? QStringLiteral("0") : QStringLiteral("1"));
         },
         Source::portal},
    };
    for (const Route& r : routes) {
        SCOPED_TRACE(r.name);
        if (r.portal) {
            portal.emplace();
            ASSERT_TRUE(portal->registered());
        }
        DesktopMotionSetting setting(QDBusConnection::sessionBus(),
                                     {QString::fromStdString(config.path().string())});
        if (r.portal) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return setting.portalAnswered(); }, 10000));
        }
        ASSERT_FALSE(setting.reduceMotion());
        QSignalSpy changed(&setting, &DesktopMotionSetting::changed);
        r.set(true);
        EXPECT_TRUE(QTest::qWaitFor([&] { return setting.reduceMotion(); }, 10000));
        EXPECT_EQ(setting.source(), r.source);
        EXPECT_EQ(changed.count(), 1);
        r.set(false);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !setting.reduceMotion(); }, 10000));
        EXPECT_EQ(changed.count(), 2);
        portal.reset();
    }
}

// A portal that starts after the app is asked then; one that leaves takes its answer along.
TEST(DesktopMotionSetting, PortalComingAndGoing) {
    requireEnvironment();
    ScopedGnomeSetting gnome(kGnome, kGnomeKey);
    testsupport::TempDir config;
    DesktopMotionSetting setting(QDBusConnection::sessionBus(),
                                 {QString::fromStdString(config.path().string())});
    EXPECT_FALSE(setting.portalAnswered());
    EXPECT_EQ(setting.source(), Source::gsettings);
    {
        FakeSettingsPortal portal({{kGnome, {{kGnomeKey, false}}}});
        ASSERT_TRUE(portal.registered());
        EXPECT_TRUE(QTest::qWaitFor([&] { return setting.reduceMotion(); }, 10000));
        EXPECT_EQ(setting.source(), Source::portal);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return !setting.reduceMotion(); }, 10000));
    EXPECT_FALSE(setting.portalAnswered());
    EXPECT_EQ(setting.source(), Source::gsettings);
}

// Where the desktop offers nothing to read, the reader says so and motion stays on.
TEST(DesktopMotionSetting, NothingToReadIsSaid) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // A fresh process: GIO finds no schemas, and the session bus leads nowhere.
            setenv("XDG_DATA_DIRS", "/nonexistent", 1);
            setenv("XDG_DATA_HOME", "/nonexistent", 1);
            unsetenv("GSETTINGS_SCHEMA_DIR");
            setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tavro-bus", 1);
            testsupport::TempDir config;
            DesktopMotionSetting setting(QDBusConnection::sessionBus(),
                                         {QString::fromStdString(config.path().string())});
            const bool honest = setting.source() == Source::none && !setting.reduceMotion();
            std::_Exit(honest ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// The desktop's window button layout and wish to reduce motion: parsed, read through GSettings
// (memory backend), a settings portal on the test bus and kdeglobals, and followed as they change.
#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/DesktopMotionSetting.h"
#include "platform/GnomeSetting.h"
#include "platform/WindowButtonLayoutReader.h"
#include "platform/XSettings.h"
#include "support/FakeSettingsPortal.h"
#include "support/ScopedGnomeSetting.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"

namespace {

using B = WindowButton;
using L = WindowButtonLayout;
using Source = DesktopMotionSetting::Source;
using Values = QMap<QString, QVariantMap>;
using testsupport::FakeSettingsPortal;
using testsupport::ScopedGnomeSetting;

const QString kGnome = QStringLiteral("org.gnome.desktop.interface");
const QString kAnimations = QStringLiteral("enable-animations");
const QString kKde = QStringLiteral("org.kde.kdeglobals.KDE");
const QString kFactor = QStringLiteral("AnimationDurationFactor");
const QString kAppearance = QStringLiteral("org.freedesktop.appearance");
const QString kReduced = QStringLiteral("reduced-motion");
const QString kWm = QString::fromLatin1(WindowButtonLayoutReader::kSchema);
const QString kLayout = QString::fromLatin1(WindowButtonLayoutReader::kKey);

const char* kKdeStill = "[KDE]\nAnimationDurationFactor=0\n";

TEST(WindowButtonLayout, ReadsSidesAndOrderFromTheDesktopsText) {
    const std::pair<const char*, std::optional<L>> cases[] = {
        {"appmenu:minimize,maximize,close", L{{}, {B::minimize, B::maximize, B::close}}},
        {"close,minimize,maximize:", L{{B::close, B::minimize, B::maximize}, {}}},
        {"appmenu:close", L{{}, {B::close}}},
        {"close:appmenu", L{{B::close}, {}}},
        {"maximize,close", L{{B::maximize, B::close}, {}}},  // no colon: left
        {" minimize , close : maximize ", L{{B::minimize, B::close}, {B::maximize}}},
        {"menu:minimize,spacer,maximize,,close", L{{}, {B::minimize, B::maximize, B::close}}},
        {"close,close:close,minimize", L{{B::close}, {B::minimize}}},  // where it comes first
        // Only the first colon divides; what follows a second is one unknown name.
        {"close:minimize:maximize,maximize", L{{B::close}, {B::maximize}}},
        {"", std::nullopt},
        {":", std::nullopt},
        {"appmenu,icon:spacer", std::nullopt},
        {"CLOSE:MINIMIZE", std::nullopt},
    };
    for (const auto& [text, layout] : cases) EXPECT_EQ(L::parse(text), layout) << text;
    EXPECT_EQ(L::standard(), (L{{}, {B::minimize, B::maximize, B::close}}));
}

// KDE's and XFCE's letters: only minimise, maximise and close count, on their sides.
TEST(WindowButtonLayout, ReadsKdesAndXfcesLetters) {
    const struct {
        const char* left;   // KDE's left side, or XFCE's whole text
        const char* right;  // nullptr: XFCE
        std::optional<L> layout;
    } cases[] = {
        {"MS", "HIAX", L::standard()},  // KDE's default
        {"XIA", "", L{{B::close, B::minimize, B::maximize}, {}}},
        {"M", "_FX", L{{}, {B::close}}},
        {"O|HMC", nullptr, L::standard()},  // XFCE's default
        {"CMH|O", nullptr, L{{B::close, B::maximize, B::minimize}, {}}},
        {"O|ST", nullptr, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.left);
        EXPECT_EQ(c.right ? L::fromKwin(c.left, c.right) : L::fromXfwm(c.left), c.layout);
    }
}

// The X settings list as a settings daemon writes it, in either byte order: a number, a text and
// a colour; a list cut short is no list.
TEST(XSettings, ReadsTheTextsOfTheList) {
    for (const bool big : {false, true}) {
        SCOPED_TRACE(big);
        std::string bytes;
        const auto number = [&](std::uint32_t v, int width) {
            for (int i = 0; i < width; ++i) bytes += char(v >> (8 * (big ? width - 1 - i : i)));
        };
        const auto text = [&](const std::string& s) {
            bytes += s + std::string((4 - s.size() % 4) % 4, '\0');
        };
        const auto head = [&](int type, const std::string& name) {
            bytes += char(type);
            bytes += '\0';
            number(std::uint32_t(name.size()), 2);
            text(name);
            number(7, 4);  // serial of the last change
        };
        bytes += char(big);
        bytes += std::string(3, '\0');
        number(42, 4);
        number(3, 4);
        head(0, "Net/DoubleClickTime");
        number(400, 4);
        head(1, "Gtk/DecorationLayout");
        number(23, 4);
        text("close,minimize:maximize");
        head(2, "Gtk/Color");
        number(0xffff, 4);
        number(0, 4);
        const std::map<std::string, std::string> texts = {
            {"Gtk/DecorationLayout", "close,minimize:maximize"}};
        EXPECT_EQ(XSettings::parse(bytes), texts);
        EXPECT_EQ(XSettings::parse(bytes.substr(0, bytes.size() - 4)), std::nullopt);
    }
    EXPECT_EQ(XSettings::parse(""), std::nullopt);
}

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

// A GSettings key is read only where it is installed with the type asked for: GSettings would
// abort the process on any other.
TEST(GnomeSetting, ReadsOnlyAKeyInstalledWithItsType) {
    const char* interface = "org.gnome.desktop.interface";
    TAVRO_REQUIRE_ENV("GNOME settings in memory",
                      testsupport::ScopedGnomeSetting::probe(interface));
    const struct {
        const char* schema;
        const char* key;
        bool boolean;  // else a text
        bool read;
    } cases[] = {
        {interface, "enable-animations", true, true},
        {"org.gnome.desktop.wm.preferences", "button-layout", false, true},
        {interface, "enable-animations", false, false},  // another type
        {interface, "no-such-key", true, false},
        {"org.tavro.no-such-schema", "enable-animations", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.schema) + " " + c.key);
        const GnomeSetting setting(c.schema, c.key, c.boolean ? "b" : "s");
        EXPECT_EQ(c.boolean ? setting.boolean().has_value() : setting.text().has_value(), c.read);
    }
}

// Readers over GSettings, a kdeglobals folder of their own and, where a test starts one, a portal.
class DesktopSettings : public ::testing::Test {
protected:
    void SetUp() override {
        TAVRO_REQUIRE_ENV("session bus", testsupport::probeSessionBus());
        TAVRO_REQUIRE_ENV("GNOME settings in memory", ScopedGnomeSetting::probe(kGnome));
        TAVRO_REQUIRE_ENV("GNOME settings in memory", ScopedGnomeSetting::probe(kWm));
    }
    static bool settles(const std::function<bool()>& done) { return QTest::qWaitFor(done, 10000); }
    // A portal's values for GNOME's, KDE's and its own key.
    static Values gnome(const QVariant& v) { return {{kGnome, {{kAnimations, v}}}}; }
    static Values kde(const QVariant& v) { return {{kKde, {{kFactor, v}}}}; }
    static Values appearance(const QVariant& v) { return {{kAppearance, {{kReduced, v}}}}; }
    void startPortal(const Values& values = {}, uint version = 2) {
        portal.emplace(values, version);
        ASSERT_TRUE(portal->registered());
    }
    // As KDE writes it: a new file renamed over the old one. nullptr removes it.
    void writeKdeglobals(const char* text) {
        if (!text) return void(std::filesystem::remove(config / "kdeglobals"));
        std::ofstream(config / "kdeglobals.new") << text;
        std::filesystem::rename(config / "kdeglobals.new", config / "kdeglobals");
    }
    // A motion reader that has heard from the portal, where one runs.
    std::unique_ptr<DesktopMotionSetting> motion() {
        auto setting = std::make_unique<DesktopMotionSetting>(
            QDBusConnection::sessionBus(),
            QStringList{QString::fromStdString(config.path().string())});
        EXPECT_TRUE(!portal || settles([&] { return setting->portalAnswered(); }));
        return setting;
    }

    ScopedGnomeSetting animations{kGnome, kAnimations};
    testsupport::TempDir config;
    std::optional<FakeSettingsPortal> portal;
};

// GSettings' layout at once; the portal's where it has a readable one (version 1 only answers
// Read, after ReadOne failed). Away from GNOME its key counts only where someone set it.
TEST_F(DesktopSettings, ButtonLayoutFromGSettingsThenThePortal) {
    const L byDefault = L::standard(), close{{B::close}, {}}, minClose{{B::minimize}, {B::close}};
    const L closeMax{{B::close, B::maximize}, {}}, all{{B::close, B::maximize, B::minimize}, {}};
    const struct {
        const char* gsettings;   // nullptr: the desktop's default
        uint version;            // of the portal; 0: none
        const char* portalText;  // nullptr: the portal lacks the setting
        L atOnce, layout;
        QStringList asked;
    } cases[] = {
        {nullptr, 0, nullptr, byDefault, byDefault, {}},
        {"close,maximize:", 0, nullptr, closeMax, closeMax, {}},
        {"appmenu:", 0, nullptr, L::standard(), L::standard(), {}},  // names no button
        {"close:", 2, "minimize:close", close, minClose, {"ReadOne"}},
        {"close:", 1, "close,maximize,minimize:", close, all, {"ReadOne", "Read"}},
        {"close:", 2, nullptr, close, close, {"ReadOne"}},
        {"close:", 2, "appmenu", close, close, {"ReadOne"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        ScopedGnomeSetting wm(kWm, kLayout);
        if (c.gsettings) wm.set(c.gsettings);
        Values values;
        if (c.portalText) values[kWm][kLayout] = QString::fromUtf8(c.portalText);
        if (c.version) startPortal(values, c.version);
        WindowButtonLayoutReader reader(QDBusConnection::sessionBus(), {});
        QSignalSpy changed(&reader, &WindowButtonLayoutReader::layoutChanged);
        EXPECT_EQ(reader.layout(), c.atOnce);
        ASSERT_TRUE(settles([&] { return !reader.waiting(); }));
        EXPECT_EQ(reader.layout(), c.layout);
        EXPECT_EQ(changed.size(), c.atOnce == c.layout ? 0 : 1);
        EXPECT_EQ(portal ? portal->calls() : QStringList(), c.asked);
        EXPECT_EQ(WindowButtonLayoutReader::fromGSettings(),
                  c.gsettings ? c.gsettings : "appmenu:close");
        portal.reset();
    }
}

// Each desktop's own setting decides, in the configuration folders the user's before the
// system's; GNOME's key where GNOME runs or someone set it; the standard layout where nothing
// names a button.
TEST_F(DesktopSettings, ButtonLayoutOfEachDesktop) {
    using S = WindowButtonLayoutReader::Source;
    const L closeLeft{{B::close, B::minimize, B::maximize}, {}}, closeOnly{{}, {B::close}};
    const char* xfwmLeft =
        "<?xml version=\"1.0\"?>\n<channel name=\"xfwm4\" version=\"1.0\">\n"
        "  <property name=\"general\" type=\"empty\">\n"
        "    <property name=\"title_font\" type=\"string\" value=\"Sans 9\"/>\n"
        "    <property name=\"button_layout\" type=\"string\" value=\"CHM|O\"/>\n"
        "  </property>\n</channel>\n";
    const struct {
        const char* desktop;
        const char* gnome;  // GNOME's key as someone set it; nullptr: its default
        const char* kwinrc;
        const char* systemKwinrc;
        const char* xfwm4;
        L layout;
        S source;
    } cases[] = {
        {"", nullptr, nullptr, nullptr, nullptr, L::standard(), S::standard},
        {"ubuntu:GNOME", nullptr, nullptr, nullptr, nullptr, closeOnly, S::gnome},
        {"KDE", nullptr, nullptr, nullptr, nullptr, L::standard(), S::kwin},
        {"KDE", nullptr, "[org.kde.kdecoration2]\nButtonsOnLeft=XIA\nButtonsOnRight=\n", nullptr,
         nullptr, closeLeft, S::kwin},
        {"KDE", nullptr, "[org.kde.kdecoration2]\nButtonsOnLeft=X\n",
         "[org.kde.kdecoration2]\nButtonsOnLeft=IA\nButtonsOnRight=A\n", nullptr,
         L{{B::close}, {B::maximize}}, S::kwin},
        {"KDE", "close,minimize,maximize:", "[org.kde.kdecoration2]\nButtonsOnLeft=\n", nullptr,
         nullptr, closeLeft, S::gnome},
        {"XFCE", nullptr, nullptr, nullptr, nullptr, L::standard(), S::xfwm},
        {"XFCE", nullptr, nullptr, nullptr, xfwmLeft, L{{B::close, B::minimize, B::maximize}, {}},
         S::xfwm},
        {"X-Cinnamon", nullptr, nullptr, nullptr, nullptr, L::standard(), S::standard},
        {"LXQt", nullptr, nullptr, nullptr, nullptr, L::standard(), S::standard},
    };
    testsupport::TempDir system;
    const auto write = [](const std::filesystem::path& file, const char* text) {
        std::filesystem::remove(file);
        if (!text) return;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << text;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.desktop) + " " + (c.kwinrc ? c.kwinrc : ""));
        ScopedGnomeSetting wm(kWm, kLayout);
        if (c.gnome) wm.set(c.gnome);
        write(config / "kwinrc", c.kwinrc);
        write(system / "kwinrc", c.systemKwinrc);
        write(config / "xfce4/xfconf/xfce-perchannel-xml/xfwm4.xml", c.xfwm4);
        const QStringList dirs = {QString::fromStdString(config.path().string()),
                                  QString::fromStdString(system.path().string())};
        WindowButtonLayoutReader reader(QDBusConnection::sessionBus(),
                                        {QString::fromLatin1(c.desktop), dirs});
        EXPECT_EQ(reader.layout(), c.layout);
        EXPECT_EQ(reader.source(), c.source);
        EXPECT_TRUE(settles([&] { return !reader.waiting(); }));
    }
}

// Which source decides: the portal's keys before GSettings and the file, any source asking for
// stillness before those that do not.
TEST_F(DesktopSettings, MotionFromEachDesktopsSetting) {
    const char* kdeHalf = "[KDE]\nAnimationDurationFactor=0.5\n";
    const struct {
        const char* name;
        std::optional<Values> portal;  // none: no portal on the bus
        bool gnomeAnimations;
        const char* kdeglobals;  // nullptr: no file
        bool reduce;
        Source source;
    } cases[] = {
        {"GNOME's default", {}, true, nullptr, false, Source::gsettings},
        {"GNOME without animations", {}, false, nullptr, true, Source::gsettings},
        {"KDE at factor 0", {}, true, kKdeStill, true, Source::kdeglobals},
        {"KDE at half speed", {}, true, kdeHalf, false, Source::gsettings},
        {"portal over GSettings, off", gnome(false), true, nullptr, true, Source::portal},
        {"portal over GSettings, on", gnome(true), false, nullptr, false, Source::portal},
        {"portal over kdeglobals", kde("1"), true, kKdeStill, false, Source::portal},
        {"KDE's factor in the portal", kde("0"), true, nullptr, true, Source::portal},
        {"the portal's own key", appearance(1u), true, nullptr, true, Source::portal},
        {"no preference in its own key", appearance(0u), true, nullptr, false, Source::portal},
        {"a portal without these keys", Values{}, false, nullptr, true, Source::gsettings},
        {"a value of the wrong type", gnome(0), false, nullptr, true, Source::gsettings},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        animations.set(c.gnomeAnimations);
        writeKdeglobals(c.kdeglobals);
        if (c.portal) startPortal(*c.portal);
        const auto setting = motion();
        EXPECT_EQ(setting->reduceMotion(), c.reduce);
        EXPECT_EQ(setting->source(), c.source);
        portal.reset();
    }
}

// A change while the app runs is seen through each route, once. A portal that starts later is
// asked then; one that leaves takes its answer along.
TEST_F(DesktopSettings, MotionFollowsChanges) {
    const struct {
        const char* name;
        bool portal;  // from the start
        std::function<void(bool reduce)> set;
        Source source;  // while reduced
    } routes[] = {
        {"GSettings", false, [&](bool reduce) { animations.set(!reduce); }, Source::gsettings},
        {"kdeglobals replaced", false,
         [&](bool reduce) { writeKdeglobals(reduce ? kKdeStill : "[KDE]\n"); }, Source::kdeglobals},
        {"portal, GNOME's key", true,
         [&](bool reduce) { portal->set(kGnome, kAnimations, !reduce); }, Source::portal},
        {"portal, KDE's key", true,
         [&](bool reduce) { portal->set(kKde, kFactor, reduce ? "0" : "1"); }, Source::portal},
        {"a portal coming and going", false,
         [&](bool reduce) { reduce ? startPortal(gnome(false)) : portal.reset(); }, Source::portal},
    };
    for (const auto& r : routes) {
        SCOPED_TRACE(r.name);
        if (r.portal) startPortal();
        const auto setting = motion();
        ASSERT_FALSE(setting->reduceMotion());
        EXPECT_EQ(setting->source(), Source::gsettings);
        EXPECT_EQ(setting->portalAnswered(), r.portal);
        QSignalSpy changed(setting.get(), &DesktopMotionSetting::changed);
        r.set(true);
        EXPECT_TRUE(settles([&] { return setting->reduceMotion(); }));
        EXPECT_EQ(setting->source(), r.source);
        r.set(false);
        EXPECT_TRUE(settles([&] { return !setting->reduceMotion(); }));
        EXPECT_EQ(changed.count(), 2);
        EXPECT_EQ(setting->portalAnswered(), portal.has_value());
        EXPECT_EQ(setting->source(), portal ? Source::portal : Source::gsettings);
        portal.reset();
    }
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
            std::_Exit(setting.source() == Source::none && !setting.reduceMotion() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace

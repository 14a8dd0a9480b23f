// The double press: the recogniser over scripted events, the monitor over raw keys, on the X
// server, and in our own windows.
#include <QCoreApplication>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>

#include "desktop/HotkeyMonitor.h"
#include "desktop/HotkeyRecognizer.h"
#include "support/KeyboardLock.h"
#include "support/OtherClientsGrab.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"
#include "util/UserDefaults.h"

namespace {

// A script of events, one token each: "<mods>@<seconds>" is a modifier change to the held set
// <mods> (c command, o option, s shift, t control, "-" none), "k@<seconds>" a key going down,
// "!@<seconds>" a release of the chosen modifier that was missed, "=<text>" a new
// "hotkeyModifier", "~<value>" a new "hotkeyInterval" (with a dot a number, without one a whole
// number, quoted a text).
TEST(HotkeyRecognizer, Table) {
    const struct {
        const char* name;
        const char* script;
        std::vector<int> triggersAt;  // indices of the tokens that complete a double press
    } cases[] = {
        {"0.3 s apart trigger, a third tap does not", "c@0 -@.1 c@.3 -@.4 c@.5 -@.6", {3}},
        {"0.45 s apart: the second starts a new pair", "c@0 -@.5 c@.9 -@1 c@1.1 -@1.25", {5}},
        {"a gap equal to the limit does not trigger", "~0.5 c@0 -@.25 c@.5 -@.75", {}},
        {"a shortcut forgets the first tap; the last starts a pair",
         "c@0 -@.05 c@.1 k@.12 -@.15 c@.2 -@.25 c@.3 -@.35",
         {8}},
        {"letters between two taps do not spoil them", "c@0 -@.05 k@.1 k@.15 c@.2 -@.3", {5}},
        {"shift let go before command goes up", "c@0 -@.05 s@.1 sc@.12 c@.15 -@.2", {5}},
        {"shift held when command goes up", "c@0 -@.05 s@.1 sc@.12 s@.2 -@.25 c@.3 -@.35", {}},
        {"gaps run from release to release", "c@0 -@.1 c@.15 -@.5 c@1 -@2 c@2.1 -@2.2", {3, 7}},
        {"interval 0.8: 0.7 s triggers", "~0.8 c@0 -@.05 c@.7 -@.75", {4}},
        {"interval 0 means 0.45", "~0.0 c@0 -@.05 c@.7 -@.75 c@.8 -@.9", {6}},
        {"whole seconds are seconds", "~1 c@0 -@.05 c@.7 -@.75", {4}},
        {"an interval stored as text is ignored", "~\"0.8\" c@0 -@.05 c@.7 -@.75", {}},
        {"option: double option triggers, command does not",
         "=option c@0 -@.05 c@.1 -@.15 o@.2 -@.25 o@.3 -@.35",
         {8}},
        {"read afresh", "=control t@0 -@.05 t@.1 -@.15 =shift s@.2 -@.25 s@.3 -@.35", {4, 9}},
        {"unknown text acts as command", "=hyper c@0 -@.05 c@.1 -@.15", {4}},
        {"none: nothing counts and a pending press is kept",
         "c@0 -@.1 =none c@.15 -@.2 c@.25 -@.3 k@.32 =command c@.35 -@.4",
         {10}},
        {"a missed release: that press counts for nothing",
         "c@0 -@.05 c@.1 k@.12 !@.15 c@.2 -@.25 c@.3 -@.35",
         {8}},
        {"a missed release forgets the tap before", "c@0 -@.05 c@.1 !@.15 c@.2 -@.25", {}},
    };
    using H = HotkeyRecognizer;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir dir;
        UserDefaults defaults(dir / "defaults.json");
        double now = 0;
        HotkeyRecognizer r([&now] { return now; }, defaults);
        std::vector<int> fired;
        std::istringstream script(c.script);
        std::string token;
        for (int i = 0; script >> token; ++i) {
            const std::string rest = token.substr(1);
            if (token[0] == '=') {
                defaults.set("hotkeyModifier", rest);
            } else if (token[0] == '~') {
                defaults.set("hotkeyInterval", rest[0] == '"' ? DefaultsValue(rest)
                                               : rest.find('.') == std::string::npos
                                                   ? DefaultsValue(std::stoi(rest))
                                                   : DefaultsValue(std::stod(rest)));
            } else {
                const size_t at = token.find('@');
                now = std::stod(token.substr(at + 1));
                std::uint32_t flags = 0;
                for (char ch : token.substr(0, at))
                    flags |= ch == 'c'   ? H::command
                             : ch == 'o' ? H::option
                             : ch == 's' ? H::shift
                             : ch == 't' ? H::control
                                         : H::Flag{};
                if (token[0] == 'k')
                    r.keyDown();
                else if (token[0] == '!')
                    r.releaseMissed();
                else if (r.flagsChanged(flags))
                    fired.push_back(i);
            }
        }
        EXPECT_EQ(fired, c.triggersAt);
    }
}

// A monitor over settings of its own, counting its triggers.
struct Monitored {
    testsupport::TempDir dir;
    UserDefaults defaults{dir / "defaults.json"};
    HotkeyMonitor monitor{defaults};
    int fired = 0;
    Monitored() {
        monitor.onTrigger = [this] { ++fired; };
    }
};

// Raw key events, fed as the X source would: the monitor keeps its own set of held keys and
// turns it into modifier changes. "L+" is the left Super key going down, "L-" going up; R the
// right Super key, s Shift, a Alt, g AltGr, C Caps Lock, c the letter C; "=text" the modifier.
TEST(HotkeyMonitor, RawKeysBecomeModifierPresses) {
    const std::map<char, quint32> keysyms = {{'L', 0xffeb}, {'R', 0xffec}, {'s', 0xffe1},
                                             {'a', 0xffe9}, {'g', 0xfe03}, {'C', 0xffe5},
                                             {'c', 0x63}};
    const std::pair<const char*, int> cases[] = {
        {"L+ L- L+ L-", 1},         {"L+ L- R+ R-", 1},
        {"L+ R+ L- R- L+ L-", 1},  // both held at once make one press
        {"L+ L+ L+ L-", 0},        // key repeats of a held key are no presses
        {"L+ L- L+ c+ c- L-", 0},   {"L+ L- L+ C+ C- L-", 1},  // lock keys are ignored
        {"L+ L- s+ L+ L- s-", 0},   {"=option a+ a- a+ a-", 1},
        {"=option g+ g- g+ g-", 1},
    };
    for (const auto& [script, triggers] : cases) {
        SCOPED_TRACE(script);
        Monitored m;
        std::istringstream keys(script);
        for (std::string k; keys >> k;) {
            if (k[0] == '=')
                m.defaults.set("hotkeyModifier", k.substr(1));
            else
                m.monitor.keyEvent(keysyms.at(k[0]), k[1] == '+');
        }
        EXPECT_EQ(m.fired, 0) << "the trigger is delivered later, on the event loop";
        QCoreApplication::processEvents();
        EXPECT_EQ(m.fired, triggers);
    }
}

// The real thing: keys synthesised on the test X server reach the monitor although no window
// of ours has the focus.
TEST(HotkeyMonitor, OnXDoubleSuperTriggersOnceAndSuperCDoesNot) {
    TAVRO_REQUIRE_ENV("X server (DISPLAY)", testsupport::probeDisplay());
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    TAVRO_REQUIRE_ENV("xdotool", !xdotool.isEmpty());
    testsupport::KeyboardLock lock;
    Monitored m;
    m.monitor.startMonitoring();
    ASSERT_TRUE(m.monitor.isGlobal());
    auto type = [&](const QString& keys) {
        QProcess p;
        p.start(xdotool, keys.split(QLatin1Char(' ')));
        ASSERT_TRUE(p.waitForFinished(10000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    };
    const QString tap = QStringLiteral("keydown Super_L keyup Super_L");
    // A tap, Super+C, a tap: nothing. A tap, one with Shift held, a tap: nothing either, though
    // Shift is up by the time the keys are read. Then, past the interval, a double tap
    // triggers once.
    type(tap + QStringLiteral(" keydown Super_L key c keyup Super_L ") + tap);
    QTest::qWait(600);
    type(tap + QStringLiteral(" keydown Shift_L ") + tap + QStringLiteral(" keyup Shift_L ") + tap);
    QTest::qWait(600);
    type(tap + QLatin1Char(' ') + tap);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m.fired > 0; }, 5000));
    QTest::qWait(300);  // nothing more arrives
    EXPECT_EQ(m.fired, 1);
}

// xdotool with `args` (split at spaces), waited for; its output.
QString xdotool(const QString& args) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), args.split(QLatin1Char(' ')));
    EXPECT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0) << args.toStdString() << ": "
                               << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// Keys that the window manager or another client takes for itself, or whose release never
// reached the monitor, leave nothing held: a double press of Super right after still works.
TEST(HotkeyMonitor, OnXDoublePressWorksAfterKeysTakenByOthers) {
    TAVRO_REQUIRE_ENV("X server (DISPLAY)", testsupport::probeDisplay());
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    TAVRO_REQUIRE_ENV("xdotool",
                      !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty());
    TAVRO_REQUIRE_ENV("xmessage",
                      !QStandardPaths::findExecutable(QStringLiteral("xmessage")).isEmpty());
    testsupport::KeyboardLock lock;
    const struct {
        const char* name;
        std::function<void(HotkeyMonitor&)> take;
    } cases[] = {
        {"Alt+F4 on another program's window",
         [](HotkeyMonitor&) {
             QProcess other;
             other.start(QStringLiteral("xmessage"),
                         {QStringLiteral("-name"), QStringLiteral("tavrotest"),
                          QStringLiteral("closed by Alt+F4")});
             ASSERT_TRUE(other.waitForStarted(10000));
             const QString id =
                 xdotool(QStringLiteral("search --sync --onlyvisible --classname tavrotest"));
             xdotool(QStringLiteral("windowactivate --sync ") +
                     id.section(QLatin1Char('\n'), 0, 0));
             xdotool(QStringLiteral("key alt+F4"));
             EXPECT_TRUE(other.waitForFinished(10000)) << "the window manager closed it";
         }},
        {"Alt+F4 on a window of ours",
         [](HotkeyMonitor&) {
             QWindow window;
             window.setTitle(QStringLiteral("closed by Alt+F4"));
             window.resize(200, 100);
             window.show();
             ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 10000));
             xdotool(QStringLiteral("key alt+F4"));
             EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 10000));
         }},
        {"Alt let go during another client's grab",
         [](HotkeyMonitor&) {
             xdotool(QStringLiteral("keydown Alt_L"));
             testsupport::OtherClientsGrab grab;
             xdotool(QStringLiteral("keyup Alt_L"));
         }},
        {"an Alt press whose release was never seen",
         [](HotkeyMonitor& m) { m.keyEvent(0xffe9, true); }},
        {"a Super+E whose release was never seen",
         [](HotkeyMonitor& m) {
             m.keyEvent(0xffec, true);
             m.keyEvent('e', true);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto letGo = qScopeGuard([] {
            QProcess::execute(QStringLiteral("xdotool"),
                              {QStringLiteral("keyup"), QStringLiteral("Alt_L"),
                               QStringLiteral("keyup"), QStringLiteral("Super_L")});
        });
        Monitored m;
        m.monitor.startMonitoring();
        ASSERT_TRUE(m.monitor.isGlobal());
        c.take(m.monitor);
        xdotool(QStringLiteral("keydown Super_L keyup Super_L keydown Super_L keyup Super_L"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return m.fired > 0; }, 5000));
    }
}

// Where the X display cannot see our windows (Wayland alone, or Qt on Wayland beside XWayland),
// keys typed into them are watched.
class OwnWindows : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(HotkeyMonitor, OwnWindows, ::testing::Values(false, true));
TEST_P(OwnWindows, KeysOfOurWindowsAreSeenWithoutOrBesideTheDisplay) {
    Monitored m;
    const QByteArray display = qgetenv("DISPLAY");
    if (!GetParam()) qputenv("DISPLAY", "");
    m.monitor.startMonitoring(QStringLiteral("wayland"));
    qputenv("DISPLAY", display);
    EXPECT_TRUE(GetParam() || !m.monitor.isGlobal());

    QWindow window;
    window.show();
    for (bool withC : {false, true, false, false}) {
        QTest::keyPress(&window, Qt::Key_Meta);
        if (withC) QTest::keyClick(&window, Qt::Key_C);
        QTest::keyRelease(&window, Qt::Key_Meta);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(m.fired, 1) << "a tap, a shortcut, then a double tap";
}

}  // namespace

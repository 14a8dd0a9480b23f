#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "desktop/HotkeyMonitor.h"
#include "support/KeyboardLock.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"
#include "util/UserDefaults.h"

namespace {

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
        testsupport::TempDir dir;
        UserDefaults defaults(dir / "defaults.json");
        HotkeyMonitor monitor(defaults);
        int fired = 0;
        monitor.onTrigger = [&] { ++fired; };
        std::istringstream keys(script);
        for (std::string k; keys >> k;) {
            if (k[0] == '=')
                defaults.set("hotkeyModifier", k.substr(1));
            else
                monitor.keyEvent(keysyms.at(k[0]), k[1] == '+');
        }
        EXPECT_EQ(fired, 0) << "the trigger is delivered later, on the event loop";
        QCoreApplication::processEvents();
        EXPECT_EQ(fired, triggers);
    }
}

// The real thing: keys synthesised on the test X server reach the monitor although no window
// of ours has the focus.
TEST(HotkeyMonitor, OnXDoubleSuperTriggersOnceAndSuperCDoesNot) {
    TAVRO_REQUIRE_ENV("X server (DISPLAY)", testsupport::probeDisplay());
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    TAVRO_REQUIRE_ENV("xdotool", !xdotool.isEmpty());
    testsupport::KeyboardLock lock;
    testsupport::TempDir dir;
    UserDefaults defaults(dir / "defaults.json");
    HotkeyMonitor monitor(defaults);
    int fired = 0;
    monitor.onTrigger = [&] { ++fired; };
    monitor.startMonitoring();
    ASSERT_TRUE(monitor.isGlobal());
    auto type = [&](const QString& keys) {
        QProcess p;
        p.start(xdotool, keys.split(QLatin1Char(' ')));
        ASSERT_TRUE(p.waitForFinished(10000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    };
    const QString tap = QStringLiteral("keydown Super_L keyup Super_L");
    // A tap, Super+C, a tap: nothing. Then, past the interval, a double tap triggers once.
    type(tap + QStringLiteral(" keydown Super_L key c keyup Super_L ") + tap);
    QTest::qWait(600);
    type(tap + QLatin1Char(' ') + tap);
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired > 0; }, 5000));
    QTest::qWait(300);  // nothing more arrives
    EXPECT_EQ(fired, 1);
}

// Where the X display cannot see our windows (Wayland alone, or Qt on Wayland beside XWayland),
// keys typed into them are watched.
class OwnWindows : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(HotkeyMonitor, OwnWindows, ::testing::Values(false, true));
TEST_P(OwnWindows, KeysOfOurWindowsAreSeenWithoutOrBesideTheDisplay) {
    testsupport::TempDir dir;
    UserDefaults defaults(dir / "defaults.json");
    HotkeyMonitor monitor(defaults);
    int fired = 0;
    monitor.onTrigger = [&] { ++fired; };
    const QByteArray display = qgetenv("DISPLAY");
    if (!GetParam()) qputenv("DISPLAY", "");
    monitor.startMonitoring(QStringLiteral("wayland"));
    qputenv("DISPLAY", display);
    EXPECT_TRUE(GetParam() || !monitor.isGlobal());

    QWindow window;
    window.show();
    for (bool withC : {false, true, false, false}) {
        QTest::keyPress(&window, Qt::Key_Meta);
        if (withC) QTest::keyClick(&window, Qt::Key_C);
        QTest::keyRelease(&window, Qt::Key_Meta);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(fired, 1) << "a tap, a shortcut, then a double tap";
}

}  // namespace

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "desktop/HotkeyMonitor.h"
#include "support/KeyboardLock.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"
#include "util/UserDefaults.h"

namespace {

// X keysyms.
constexpr quint32 kSuperL = 0xffeb, kSuperR = 0xffec, kShiftL = 0xffe1, kAltL = 0xffe9,
                  kAltGr = 0xfe03, kCapsLock = 0xffe5, kLetterC = 0x63;

struct Key {
    quint32 sym;
    bool down;
};

// Both presses of a double press, fed as raw key events: the monitor keeps its own set of
// held keys and turns it into modifier changes.
TEST(HotkeyMonitor, RawKeysBecomeModifierPresses) {
    const std::vector<Key> tap = {{kSuperL, true}, {kSuperL, false}};
    struct Case {
        const char* name;
        const char* modifier;
        std::vector<Key> keys;
        int triggers;
    };
    auto twice = [](std::vector<Key> press) {
        std::vector<Key> all = press;
        all.insert(all.end(), press.begin(), press.end());
        return all;
    };
    const std::vector<Case> cases = {
        {"double tap of the left Super key", nullptr, twice(tap), 1},
        {"left then right Super key",
         nullptr,
         {{kSuperL, true}, {kSuperL, false}, {kSuperR, true}, {kSuperR, false}},
         1},
        {"both Super keys held at once make one press",
         nullptr,
         {{kSuperL, true},
          {kSuperR, true},
          {kSuperL, false},
          {kSuperR, false},
          {kSuperL, true},
          {kSuperL, false}},
         1},
        {"key repeats of a held Super key do not count as presses",
         nullptr,
         {{kSuperL, true}, {kSuperL, true}, {kSuperL, true}, {kSuperL, false}},
         0},
        {"a letter while Super is held spoils the press",
         nullptr,
         {{kSuperL, true},
          {kSuperL, false},
          {kSuperL, true},
          {kLetterC, true},
          {kLetterC, false},
          {kSuperL, false}},
         0},
        {"caps lock is ignored",
         nullptr,
         {{kSuperL, true},
          {kSuperL, false},
          {kSuperL, true},
          {kCapsLock, true},
          {kCapsLock, false},
          {kSuperL, false}},
         1},
        {"shift held at the release spoils the press",
         nullptr,
         {{kSuperL, true},
          {kSuperL, false},
          {kShiftL, true},
          {kSuperL, true},
          {kSuperL, false},
          {kShiftL, false}},
         0},
        {"option is the Alt key", "option", twice({{kAltL, true}, {kAltL, false}}), 1},
        {"AltGr counts as option", "option", twice({{kAltGr, true}, {kAltGr, false}}), 1},
        {"Super does nothing when option is chosen", "option", twice(tap), 0},
        {"none switches it off", "none", twice(tap), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir dir;
        UserDefaults defaults(dir / "defaults.json");
        if (c.modifier) defaults.set("hotkeyModifier", c.modifier);
        HotkeyMonitor monitor(defaults);
        int fired = 0;
        monitor.onTrigger = [&] { ++fired; };
        for (const Key& k : c.keys) monitor.keyEvent(k.sym, k.down);
        EXPECT_EQ(fired, 0) << "the trigger is delivered later, on the event loop";
        QCoreApplication::processEvents();
        EXPECT_EQ(fired, c.triggers);
    }
}

// The real thing: keys synthesised on the test X server reach the monitor although no window
// of ours has the focus.
class HotkeyOnX : public ::testing::Test {
protected:
    void SetUp() override {
        TAVRO_REQUIRE_ENV("X server (DISPLAY)", testsupport::probeDisplay());
        xdotool_ = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        TAVRO_REQUIRE_ENV("xdotool", !xdotool_.isEmpty());
        defaults_ = std::make_unique<UserDefaults>(dir_ / "defaults.json");
        monitor_ = std::make_unique<HotkeyMonitor>(*defaults_);
        monitor_->onTrigger = [this] { ++fired_; };
        monitor_->startMonitoring();
        ASSERT_TRUE(monitor_->isGlobal());
    }

    void type(const QStringList& args) {
        QProcess p;
        p.start(xdotool_, args);
        ASSERT_TRUE(p.waitForFinished(10000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }

    testsupport::KeyboardLock lock_;
    testsupport::TempDir dir_;
    std::unique_ptr<UserDefaults> defaults_;
    std::unique_ptr<HotkeyMonitor> monitor_;
    QString xdotool_;
    int fired_ = 0;
};

TEST_F(HotkeyOnX, DoubleSuperTriggersOnce) {
    type({"keydown", "Super_L", "keyup", "Super_L", "keydown", "Super_L", "keyup", "Super_L"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired_ > 0; }, 5000));
    QTest::qWait(300);  // nothing more arrives
    EXPECT_EQ(fired_, 1);
}

TEST_F(HotkeyOnX, SuperCInBetweenDoesNotTrigger) {
    type({"keydown", "Super_L", "keyup", "Super_L", "keydown", "Super_L", "key", "c", "keyup",
          "Super_L", "keydown", "Super_L", "keyup", "Super_L"});
    // A marker pair afterwards proves the events were all read before judging.
    QTest::qWait(600);
    type({"keydown", "Super_L", "keyup", "Super_L", "keydown", "Super_L", "keyup", "Super_L"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired_ > 0; }, 5000));
    QTest::qWait(300);
    EXPECT_EQ(fired_, 1);
}

}  // namespace

namespace {

// Without an X display (Wayland alone) only keys typed into our own windows are seen.
TEST(HotkeyMonitor, WithoutDisplayListensToItsOwnWindows) {
    testsupport::TempDir dir;
    UserDefaults defaults(dir / "defaults.json");
    HotkeyMonitor monitor(defaults);
    int fired = 0;
    monitor.onTrigger = [&] { ++fired; };
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", "");
    monitor.startMonitoring();
    qputenv("DISPLAY", display);
    EXPECT_FALSE(monitor.isGlobal());

    QWindow window;
    window.show();
    for (int i = 0; i < 2; ++i) {
        QTest::keyPress(&window, Qt::Key_Meta);
        QTest::keyRelease(&window, Qt::Key_Meta);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(fired, 1);
    QTest::keyPress(&window, Qt::Key_Meta);
    QTest::keyClick(&window, Qt::Key_C);
    QTest::keyRelease(&window, Qt::Key_Meta);
    QTest::keyPress(&window, Qt::Key_Meta);
    QTest::keyRelease(&window, Qt::Key_Meta);
    QCoreApplication::processEvents();
    EXPECT_EQ(fired, 1) << "a shortcut is not a press";
}

}  // namespace

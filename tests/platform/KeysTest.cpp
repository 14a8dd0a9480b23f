#include <QProcess>
#include <QScopeGuard>
#include <QTest>

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "platform/DisplaySession.h"
#include "platform/GlobalKeySource.h"
#include "support/AudioFixtures.h"
#include "support/KeyboardLock.h"
#include "support/OtherClientsGrab.h"
#include "support/TestEnv.h"

namespace {

// Keys synthesised on the test X server reach the source while no window of ours exists.
TEST(GlobalKeySource, SeesKeysOfTheWholeDisplay) {
    TAVRO_REQUIRE_ENV("X server (DISPLAY)", testsupport::probeDisplay());
    TAVRO_REQUIRE_ENV("xdotool", audiotest::commandExists("xdotool"));
    testsupport::KeyboardLock lock;
    GlobalKeySource keys;
    ASSERT_TRUE(keys.start());
    ASSERT_TRUE(keys.available());
    // Signed keysyms: pressed positive, released negative. xdotool repeats the release of a
    // modifier it typed, so repeats in a row are folded.
    std::vector<qint64> seen;
    auto note = [&](qint64 v) {
        if (seen.empty() || seen.back() != v) seen.push_back(v);
    };
    QObject::connect(&keys, &GlobalKeySource::keyPressed, [&](quint32 s) { note(s); });
    QObject::connect(&keys, &GlobalKeySource::keyReleased, [&](quint32 s) { note(-qint64(s)); });
    ASSERT_EQ(QProcess::execute("xdotool", {"key", "ctrl", "key", "a"}), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.size() >= 4; }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(seen, (std::vector<qint64>{0xffe3, -0xffe3, 'a', -'a'}));  // Control_L, a
}

// What is held at the start, then each key event and the keys held by the server's account
// when it is reported, through a grab by another client (a window manager's shortcut) and while
// the reports lag behind the typing. xdotool repeats the release of a modifier it typed, so
// repeats in a row are folded.
TEST(GlobalKeySource, ReportsEveryKeyAndWhatIsHeldThen) {
    TAVRO_REQUIRE_ENV("X server (DISPLAY)", testsupport::probeDisplay());
    TAVRO_REQUIRE_ENV("xdotool", audiotest::commandExists("xdotool"));
    enum : qint64 { shift = 0xffe1, alt = 0xffe9 };
    using Held = std::set<quint32>;
    using Seen = std::vector<std::pair<qint64, Held>>;  // pressed positive, released negative
    const struct {
        const char* name;
        QStringList beforeStart, after, duringGrab;  // xdotool arguments
        // First what is held at the start, as event 0.
        Seen expected;
    } cases[] = {
        {"Alt let go and a typed during another client's grab",
         {},
         {"keydown", "Alt_L"},
         {"keyup", "Alt_L", "key", "a"},
         {{0, {}}, {alt, {alt}}, {-alt, {}}, {'a', {'a'}}, {-'a', {}}}},
        {"a key held since before the start",
         {"keydown", "Shift_L"},
         {"keyup", "Shift_L"},
         {},
         {{0, {shift}}, {-shift, {}}}},
    };
    testsupport::KeyboardLock lock;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Nothing stays held for the tests after this one, whatever fails.
        const auto letGo = qScopeGuard([] {
            QProcess::execute("xdotool",
                              {"keyup", "Shift_L", "keyup", "Super_L", "keyup", "Alt_L"});
        });
        if (!c.beforeStart.isEmpty()) {
            ASSERT_EQ(QProcess::execute("xdotool", c.beforeStart), 0);
        }
        GlobalKeySource keys;
        ASSERT_TRUE(keys.start());
        Seen seen;
        auto note = [&](qint64 v) {
            const std::pair<qint64, Held> e(v, keys.keysHeld());
            if (seen.empty() || seen.back() != e) seen.push_back(e);
        };
        QObject::connect(&keys, &GlobalKeySource::keyPressed, [&](quint32 s) { note(s); });
        QObject::connect(&keys, &GlobalKeySource::keyReleased,
                         [&](quint32 s) { note(-qint64(s)); });
        note(0);
        // Typed while no event is read: the reports lag behind the keys.
        ASSERT_EQ(QProcess::execute("xdotool", c.after), 0);
        if (!c.duringGrab.isEmpty()) {
            testsupport::OtherClientsGrab grab;
            ASSERT_EQ(QProcess::execute("xdotool", c.duringGrab), 0);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return seen.size() >= c.expected.size(); }, 5000));
        QTest::qWait(100);
        EXPECT_EQ(seen, c.expected);
        EXPECT_EQ(keys.keysHeld(), Held{});
    }
}

TEST(GlobalKeySource, WithoutDisplayStaysSilent) {
    audiotest::ScopedEnv noDisplay("DISPLAY", nullptr);
    GlobalKeySource keys;
    EXPECT_FALSE(keys.start());
    EXPECT_FALSE(keys.available());
}

// The platform TAVRO runs on, and where its double press is then seen, by the session.
TEST(DisplaySession, ChoosesXWaylandWhereThereIsOne) {
    using Reach = DisplaySession::HotkeyReach;
    const std::tuple<DisplaySession, std::string, Reach> table[] = {
        {{"wayland", "wayland-0", ":0", ""}, "xcb", Reach::x11Windows},
        {{"x11", "", ":0", ""}, "xcb", Reach::everywhere},
        {{"wayland", "wayland-0", "", ""}, "wayland", Reach::tavroWindows},
        {{"wayland", "wayland-0", ":0", "wayland"}, "", Reach::x11Windows},  // the user's choice
    };
    for (const auto& [session, platform, reach] : table)
        EXPECT_EQ(std::pair(session.chosenQtPlatform(), session.hotkeyReach()),
                  std::pair(platform, reach));
}

}  // namespace

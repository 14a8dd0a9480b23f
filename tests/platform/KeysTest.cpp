#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include "support/AudioFixtures.h"
#include "platform/DisplaySession.h"
#include "platform/GlobalKeySource.h"
#include "support/KeyboardLock.h"
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

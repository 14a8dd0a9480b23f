// The app's cues: which theme file each sounds from, what it sounds like, and which sounds a
// recording of the computer's audio leaves out.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>

#include "platform/SystemSound.h"
#include "support/AudioFixtures.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

void touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "x";
}

}  // namespace

// The user's folder before the system's, the stereo folder before the theme's own, the whole
// name before its shorter forms, and a turned-off sound turns it off.
TEST(SystemSound, FindsTheThemeFileOfAnEvent) {
    const struct {
        const char* name;
        std::vector<std::string> files;  // under "user/" or "system/"
        std::string expected;            // empty: none
    } cases[] = {
        {"system only", {"system/stereo/device-added.oga"}, "system/stereo/device-added.oga"},
        {"user first",
         {"user/stereo/device-added.ogg", "system/stereo/device-added.oga"},
         "user/stereo/device-added.ogg"},
        {"stereo first",
         {"user/device-added.wav", "user/stereo/device-added.oga"},
         "user/stereo/device-added.oga"},
        {"shorter name", {"system/stereo/device.oga"}, "system/stereo/device.oga"},
        {"whole name before a shorter one",
         {"user/stereo/device.oga", "system/stereo/device-added.oga"},
         "system/stereo/device-added.oga"},
        {"turned off", {"user/stereo/device-added.disabled", "system/stereo/device-added.oga"}, ""},
        {"none", {"system/stereo/bell.oga"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const testsupport::TempDir dir;
        const fs::path user = dir / "home/sounds/freedesktop";
        const fs::path system = dir / "share/sounds/freedesktop";
        const audiotest::ScopedEnv dataHome("XDG_DATA_HOME", (dir / "home").c_str());
        const std::string dirs = (dir / "none").string() + ":" + (dir / "share").string();
        const audiotest::ScopedEnv dataDirs("XDG_DATA_DIRS", dirs.c_str());
        const auto place = [&](const std::string& f) {
            return f.starts_with("user/") ? user / f.substr(5) : system / f.substr(7);
        };
        for (const std::string& f : c.files) touch(place(f));
        EXPECT_EQ(SystemSound::themeFile("device-added"),
                  c.expected.empty() ? fs::path() : place(c.expected));
    }
}

// A theme file is read for its sound only when it is a regular file: a pipe would hand its data
// to this reader, or block it.
TEST(SystemSound, ReadsWhatACueSoundsLikeFromRegularFilesOnly) {
    const testsupport::TempDir dir;
    const fs::path stereo = dir / "home/sounds/freedesktop/stereo";
    fs::create_directories(stereo);
    const audiotest::ScopedEnv dataHome("XDG_DATA_HOME", (dir / "home").c_str());
    const audiotest::ScopedEnv dataDirs("XDG_DATA_DIRS", "/usr/share");
    const auto shape = SystemSound::shapeOf("device-added", 24000);
    ASSERT_TRUE(shape);
    EXPECT_EQ(*shape, audiotest::decodeMono("/usr/share/sounds/freedesktop/stereo/device-added.oga",
                                            24000));
    ASSERT_EQ(mkfifo((stereo / "device-removed.oga").c_str(), 0600), 0);
    EXPECT_FALSE(SystemSound::shapeOf("device-removed", 24000));
    std::ofstream(stereo / "complete.oga") << "not a sound";
    EXPECT_FALSE(SystemSound::shapeOf("complete", 24000));
}

// Only the app's cues are left out of a recording; a notification's sound is not.
TEST(SystemSound, OnlyTheCuesAreKeptOut) {
    const auto since = std::chrono::system_clock::now();
    SystemSound::playEvent("message-new-instant");
    SystemSound::play("Glass");
    SystemSound::play("Unknown");
    const auto cues = SystemSound::cuesSince(since);
    ASSERT_EQ(cues.size(), 1u);
    EXPECT_EQ(cues[0].event, "complete");
    EXPECT_TRUE(SystemSound::cuesSince(std::chrono::system_clock::now()).empty());
}

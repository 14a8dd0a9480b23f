// The app's cues: which theme file each sounds from, what it sounds like, and which sounds a
// recording of the computer's audio leaves out.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <mutex>

#include "platform/AudioInput.h"
#include "platform/SoundFinder.h"
#include "platform/SystemSound.h"
#include "support/AudioFixtures.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"

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
    const auto since = std::chrono::steady_clock::now();
    SystemSound::playEvent("message-new-instant");
    SystemSound::play("Glass");
    SystemSound::play("Unknown");
    const auto cues = SystemSound::cuesSince(since);
    ASSERT_EQ(cues.size(), 1u);
    EXPECT_EQ(cues[0].event, "complete");
    EXPECT_TRUE(SystemSound::cuesSince(std::chrono::steady_clock::now()).empty());
}

// Sounds play in the order asked, also when one before them is held up (its theme file opens
// late), and a cue called off while it waits never plays: here the start cue, called off behind a
// held-up sound, is not heard, and the stop cue asked after it sounds only once the held-up
// sound is done with.
TEST(SystemSound, PlaysInTheOrderAskedAndNeverACalledOffCue) {
    TAVRO_REQUIRE_ENV("sound server", testsupport::probeSoundServer());
    constexpr int kRate = 48000;
    const testsupport::TempDir dir;
    const fs::path theme = dir / "home/sounds/freedesktop";
    fs::create_directories(theme / "stereo");
    fs::copy_file("/usr/share/sounds/freedesktop/index.theme", theme / "index.theme");
    // A name of its own, so that no server holds it in its cache.
    const std::string held = "tavro-held-" + std::to_string(::getpid());
    const fs::path heldFile = theme / "stereo" / (held + ".oga");
    ASSERT_EQ(mkfifo(heldFile.c_str(), 0600), 0);
    const audiotest::ScopedEnv dataHome("XDG_DATA_HOME", (dir / "home").c_str());
    const audiotest::ScopedEnv dataDirs("XDG_DATA_DIRS", "/usr/share");

    std::mutex mutex;
    std::vector<float> heard;
    AudioInput speakers;
    speakers.open(AudioInput::Device::computerOutput);
    speakers.start(kRate, 1, [&](const float* x, std::size_t n, auto) {
        std::lock_guard lock(mutex);
        if (x)
            heard.insert(heard.end(), x, x + n);
        else
            heard.resize(heard.size() + n, 0.0f);
    });
    const auto heardFrames = [&] {
        std::lock_guard lock(mutex);
        return heard.size();
    };
    const auto since = std::chrono::steady_clock::now();
    SystemSound::playEvent(held.c_str());
    const std::uint64_t start = SystemSound::play("Tink");
    SystemSound::play("Pop");
    SystemSound::cancel(start);
    // Once the player waits on the held-up file, and for half a second more.
    int fd = -1;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (fd = ::open(heldFile.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) >= 0; },
        20000));
    const std::size_t waited = heardFrames() + kRate / 2;
    ASSERT_TRUE(QTest::qWaitFor([&] { return heardFrames() >= waited; }, 20000));
    const std::size_t released = heardFrames();
    EXPECT_GT(::write(fd, "not a sound", 11), 0);
    ::close(fd);
    const auto stopEnded = [&] {
        const auto cues = SystemSound::cuesSince(since);
        return cues.size() == 1 && cues[0].endedAt;
    };
    ASSERT_TRUE(QTest::qWaitFor(stopEnded, 20000));
    const std::size_t after = heardFrames() + kRate / 2;
    ASSERT_TRUE(QTest::qWaitFor([&] { return heardFrames() >= after; }, 20000));
    speakers.stop();

    const auto cues = SystemSound::cuesSince(since);
    ASSERT_EQ(cues.size(), 1u);
    EXPECT_EQ(cues[0].event, "device-removed");
    const auto shape = [](const char* event) {
        return audiotest::decodeMono(
            fs::path("/usr/share/sounds/freedesktop/stereo") / (std::string(event) + ".oga"),
            kRate);
    };
    const std::size_t minOverlap = kRate / 20;
    const SoundFinder startCue(shape("device-added")), stopCue(shape("device-removed"));
    const auto stopAt = stopCue.find(heard, minOverlap, std::span(&startCue, 1));
    ASSERT_TRUE(stopAt) << "the stop cue was not heard";
    // A server that rewinds the speakers for the new stream puts its start up to a tenth of a
    // second before what it had delivered by then (2–3 ms measured), and leaves that part out.
    EXPECT_GE(*stopAt, static_cast<std::ptrdiff_t>(released) - kRate / 10);
    EXPECT_FALSE(startCue.find(heard, minOverlap, std::span(&stopCue, 1)))
        << "the called-off start cue was heard";
}

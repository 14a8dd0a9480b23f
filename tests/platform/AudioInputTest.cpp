// Capture from the sound server: the test server of the test environment, and private servers
// for a server without devices and one whose only "microphone" is a sink's monitor.
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <numbers>
#include <optional>
#include <vector>

#include "platform/AudioInput.h"
#include "support/AudioFixtures.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"

using namespace audiotest;
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Kind = AudioInput::Error::Kind;
using Device = AudioInput::Device;

// Which device each request finds, or why there is none.
TEST(AudioInputTest, FindsTheDeviceOrSaysWhyNot) {
    TAVRO_REQUIRE_ENV("pulseaudio", commandExists("pulseaudio"));
    const std::string speakers = "load-module module-null-sink sink_name=spk\n";
    const struct {
        std::string config;
        Device device;
        std::optional<Kind> failure;
        const char* source;
    } cases[] = {
        {"", Device::microphone, Kind::noDevice, ""},
        {"", Device::computerOutput, Kind::noDevice, ""},
        // A server with speakers only offers their monitor as the default source.
        {speakers, Device::microphone, Kind::monitorAsMicrophone, ""},
        {speakers, Device::computerOutput, std::nullopt, "spk.monitor"},
        {speakers + "load-module module-null-source source_name=mic\nset-default-source mic\n",
         Device::microphone, std::nullopt, "mic"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.config + (c.device == Device::microphone ? "microphone" : "output"));
        PrivateSoundServer server(c.config);
        AudioInput input;
        try {
            input.open(c.device);
            EXPECT_FALSE(c.failure) << "opened " << input.sourceName();
            EXPECT_EQ(input.sourceName(), c.source);
        } catch (const AudioInput::Error& e) {
            ASSERT_TRUE(c.failure) << e.what();
            EXPECT_EQ(e.kind(), *c.failure) << e.what();
        }
    }
}

// The test server's virtual devices are the defaults; blocks arrive until stop(), and none
// after it.
TEST(AudioInputTest, DeliversUntilStopped) {
    TAVRO_REQUIRE_ENV("sound server", testsupport::probeSoundServer());
    for (const Device device : {Device::microphone, Device::computerOutput}) {
        AudioInput input;
        input.open(device);
        EXPECT_EQ(input.sourceName(),
                  device == Device::microphone ? "ci_mic" : "ci_speaker.monitor");
        std::atomic<std::size_t> frames{0};
        input.start(24000, 1, [&](const float*, std::size_t n, auto) { frames += n; });
        for (auto end = std::chrono::steady_clock::now() + 20s;
             frames < 6000 && std::chrono::steady_clock::now() < end;)
            std::this_thread::sleep_for(10ms);
        input.stop();
        const std::size_t atStop = frames;
        EXPECT_GE(atStop, 6000u);
        std::this_thread::sleep_for(200ms);
        EXPECT_EQ(frames.load(), atStop);
        EXPECT_EQ(input.streamError(), "");
    }
}

namespace {

// Samples of `x` that stand out of a steady `hz` tone, leaving aside the edges of silence.
std::size_t besidesTone(const std::vector<float>& x, int rate, double hz) {
    const double c = 2 * std::cos(2 * std::numbers::pi * hz / rate);
    std::size_t count = 0;
    for (std::size_t n = 4; n + 2 < x.size(); ++n) {
        const bool edge = std::any_of(x.begin() + static_cast<std::ptrdiff_t>(n - 4),
                                      x.begin() + static_cast<std::ptrdiff_t>(n + 3),
                                      [](float v) { return v == 0.0f; });
        if (!edge && std::fabs(x[n] - c * x[n - 1] + x[n - 2]) > 0.05) ++count;
    }
    return count;
}

}  // namespace

// Where one of this process's sounds is heard on the recorded output, it and a margin are left
// out and nothing more, under another program's steady tone; the same sound on another output,
// a sound that is not one to leave out, and one like it, leave the recording whole; a sound
// longer than the bound is left out for the bound only. Of the sounds asked for before the
// start, one that still sounds is left out where it plays on, and one that ended is not sought:
// the same sound played later by another program is recorded.
TEST(AudioInputTest, LeavesOutAKnownSoundWhereItSoundsAndNothingElse) {
    TAVRO_REQUIRE_ENV("pulseaudio", commandExists("pulseaudio"));
    TAVRO_REQUIRE_ENV("sox", commandExists("sox"));
    PrivateSoundServer server(
        "load-module module-null-sink sink_name=spk rate=48000\n"
        "load-module module-null-sink sink_name=headset\nset-default-sink spk\n");
    constexpr int kRate = 24000;
    const testsupport::TempDir dir;
    const fs::path themes = "/usr/share/sounds/freedesktop/stereo";
    const fs::path cue = themes / "device-added.oga", other = themes / "message-new-instant.oga";
    const fs::path like = themes / "device-removed.oga";
    const fs::path steady = dir.path() / "steady.wav", long_ = dir.path() / "long.wav";
    ASSERT_TRUE(testsupport::Tone::writeWav(steady, 700, 60, 0.3, 48000, 2));
    ASSERT_EQ(std::system(("sox -n -r 48000 -c 1 " + long_.string() +
                           " synth 3 pinknoise vol 0.3 2>/dev/null")
                              .c_str()),
              0);
    const auto cueShape = std::make_shared<const std::vector<float>>(decodeMono(cue, kRate));
    const auto longShape = std::make_shared<const std::vector<float>>(decodeMono(long_, kRate));
    const auto likeShape = std::make_shared<const std::vector<float>>(decodeMono(like, kRate));
    const double cueSeconds = static_cast<double>(cueShape->size()) / kRate;
    const double bound = std::chrono::duration<double>(AudioInput::kLongestOwnSound).count();
    const double margins = 2 * std::chrono::duration<double>(AudioInput::kKeptOutMargin).count();
    Child tone({"paplay", "-d", "spk", steady.string()});

    enum class Asked { afterStart, endedBeforeStart, soundingAtStart };
    const struct {
        const char* name;
        fs::path played;
        const char* sink;
        std::shared_ptr<const std::vector<float>> keptOut;
        double silencedAtLeast, silencedAtMost;  // seconds
        Asked asked = Asked::afterStart;
    } cases[] = {
        // Where a stream joins speakers that render ahead, the server may leave its first
        // tenth of a second out of what it records of them: that part need not be silenced.
        {"on the recorded output", cue, "spk", cueShape, 0.1, cueSeconds + margins + 0.005},
        {"on another output", cue, "headset", cueShape, 0, 0},
        {"a sound not to leave out", other, "spk", cueShape, 0, 0},
        {"a sound like it in its place", cue, "spk", likeShape, 0, 0},
        // What went out before the request was seen (up to a tenth of a second measured) holds
        // its start and leading margin.
        {"longer than the bound", long_, "spk", longShape, bound - 0.1 - margins / 2,
         bound + 0.005},
        {"ended before the start", cue, "spk", cueShape, 0, 0, Asked::endedBeforeStart},
        // Sought at all: how much of it is left to silence depends on how late the capture
        // started, which a busy machine decides.
        {"sounding at the start", long_, "spk", longShape, 0.01, bound + 0.005,
         Asked::soundingAtStart},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::mutex mutex;
        std::vector<float> track;
        std::size_t silenced = 0;
        AudioInput::TimePoint until{};
        std::optional<AudioInput::TimePoint> requestedAt, endedAt, firstAt;
        AudioInput input;
        input.setKeptOutSounds([&](AudioInput::TimePoint since, int rate) {
            std::lock_guard lock(mutex);
            std::vector<AudioInput::KeptOutSound> sounds;
            if (rate == kRate && requestedAt && *requestedAt >= since)
                sounds.push_back({*requestedAt, c.keptOut, endedAt, {cueShape, likeShape}});
            return sounds;
        });
        std::optional<Child> early;
        if (c.asked != Asked::afterStart) {
            requestedAt = std::chrono::steady_clock::now();
            early.emplace(std::vector<std::string>{"paplay", "-d", c.sink, c.played.string()});
        }
        if (c.asked == Asked::endedBeforeStart) {
            ASSERT_EQ(early->wait(), 0);
            endedAt = std::chrono::steady_clock::now();
        }
        input.open(Device::computerOutput);
        input.start(kRate, 1, [&](const float* x, std::size_t n, AudioInput::TimePoint at) {
            std::lock_guard lock(mutex);
            if (!firstAt) firstAt = at;
            if (x) {
                track.insert(track.end(), x, x + n);
            } else {
                silenced += n;
                track.resize(track.size() + n, 0.0f);
            }
            until = at + std::chrono::microseconds(static_cast<long long>(n * 1e6 / kRate));
        });
        const auto delivered = [&] {
            std::lock_guard lock(mutex);
            return until;
        };
        ASSERT_TRUE(QTest::qWaitFor([&] { return delivered() != AudioInput::TimePoint{}; }, 20000));
        if (c.asked == Asked::afterStart) {
            std::lock_guard lock(mutex);
            requestedAt = std::chrono::steady_clock::now();
        }
        if (c.asked == Asked::soundingAtStart) {
            ASSERT_EQ(early->wait(), 0);
        } else {
            // After a start, where it is left out; after one that ended, by another program.
            Child player({"paplay", "-d", c.sink, c.played.string()});
            ASSERT_EQ(player.wait(), 0);
        }
        // Until the blocks have passed the time the sound could still come.
        ASSERT_TRUE(QTest::qWaitFor([&] { return delivered() > *requestedAt + 4s; }, 30000));
        input.stop();
        std::lock_guard lock(mutex);
        double atLeast = c.silencedAtLeast;
        // A sound asked before the start is left out for what remains of the bound once the
        // capture runs, which a busy machine may take most of the bound to start; the blocks'
        // times are estimates.
        if (c.asked == Asked::soundingAtStart && firstAt)
            atLeast = std::min(
                atLeast,
                bound - std::chrono::duration<double>(*firstAt - *requestedAt).count() - 0.05);
        EXPECT_GE(static_cast<double>(silenced) / kRate, atLeast);
        EXPECT_LE(static_cast<double>(silenced) / kRate, c.silencedAtMost);
        // What was delivered holds the steady tone and nothing else, but where the sound that is
        // left out whole was.
        if (c.silencedAtLeast > 0 && c.keptOut == cueShape) {
            EXPECT_EQ(besidesTone(track, kRate, 700), 0u);
        }
    }
}

// A server that goes away mid-recording, on each device: the input says so, records on once the
// server is back on the same socket (found anew, as open() found it), and says so too; what it
// delivers stays on the wall clock, the gap filled with silence. A server that stays away leaves
// silence up to the stop.
TEST(AudioInputTest, RecordsOnWhenTheServerComesBack) {
    TAVRO_REQUIRE_ENV("pulseaudio", commandExists("pulseaudio"));
    constexpr int kRate = 24000;
    const struct {
        Device device;
        bool comesBack;
    } cases[] = {{Device::microphone, true},
                 {Device::computerOutput, true},
                 {Device::microphone, false},
                 {Device::computerOutput, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE((c.device == Device::microphone ? "microphone, " : "output, ") +
                     std::string(c.comesBack ? "back" : "away"));
        PrivateSoundServer server(
            "load-module module-null-sink sink_name=spk rate=48000\n"
            "load-module module-null-sink sink_name=mic_feed rate=48000 channels=1\n"
            "load-module module-remap-source source_name=mic master=mic_feed.monitor channels=1\n"
            "set-default-sink spk\nset-default-source mic\n");
        std::mutex mutex;
        std::vector<bool> told;
        std::size_t frames = 0, silent = 0;
        AudioInput::TimePoint first{}, until{};
        AudioInput input;
        input.setConnectionWatch([&](bool recording, AudioInput::Loss) {
            std::lock_guard lock(mutex);
            told.push_back(recording);
        });
        input.open(c.device);
        input.start(kRate, 1, [&](const float* x, std::size_t n, AudioInput::TimePoint at) {
            std::lock_guard lock(mutex);
            if (first == AudioInput::TimePoint{}) first = at;
            frames += n;
            if (!x) silent += n;
            until = at + std::chrono::microseconds(static_cast<long long>(n * 1e6 / kRate));
        });
        const auto locked = [&](auto f) {
            std::lock_guard lock(mutex);
            return f();
        };
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return locked([&] { return frames >= kRate / 2; }); }, 20000));
        server.kill();
        const auto killedAt = std::chrono::steady_clock::now();
        ASSERT_TRUE(QTest::qWaitFor([&] { return locked([&] { return !told.empty(); }); }, 10000));
        // The server stays away a second.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return std::chrono::steady_clock::now() > killedAt + 1s; }, 5000));
        if (c.comesBack) {
            server.start();
            const auto backAt = std::chrono::steady_clock::now();
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return locked([&] { return told.size() == 2; }); }, 20000));
            EXPECT_EQ(input.sourceName(), c.device == Device::microphone ? "mic" : "spk.monitor");
            // Until half a second from the new server has come.
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return locked([&] { return until > backAt + 500ms; }); }, 20000));
        }
        input.stop();
        const auto stoppedAt = std::chrono::steady_clock::now();
        std::lock_guard lock(mutex);
        const std::vector<bool> expected =
            c.comesBack ? std::vector<bool>{false, true} : std::vector<bool>{false};
        EXPECT_EQ(told, expected);
        const auto seconds = [](auto d) { return std::chrono::duration<double>(d).count(); };
        // As many frames as the time they cover: the gap is in them.
        EXPECT_NEAR(static_cast<double>(frames) / kRate, seconds(until - first), 0.1);
        EXPECT_GE(static_cast<double>(silent) / kRate, 0.9);
        EXPECT_NE(input.streamError(), "");
        // Up to the stop: a server that stays away leaves silence to the end.
        if (!c.comesBack) {
            EXPECT_NEAR(seconds(stoppedAt - until), 0, 0.05);
        }
    }
}

// A block the receiver cannot take (it throws) ends the stream as a loss would: the input says
// so and why, records on with a new stream, and the time between reaches the receiver as a gap,
// so that what it took stays as long as the time it covers.
TEST(AudioInputTest, ABlockThatCannotBeTakenIsALostStream) {
    TAVRO_REQUIRE_ENV("pulseaudio", commandExists("pulseaudio"));
    constexpr int kRate = 24000;
    PrivateSoundServer server(
        "load-module module-null-sink sink_name=spk rate=48000\nset-default-sink spk\n");
    std::mutex mutex;
    std::vector<std::pair<bool, AudioInput::Loss>> told;
    std::size_t frames = 0, calls = 0;
    AudioInput::TimePoint first{}, until{};
    AudioInput input;
    input.setConnectionWatch([&](bool recording, AudioInput::Loss why) {
        std::lock_guard lock(mutex);
        told.emplace_back(recording, why);
    });
    input.open(Device::computerOutput);
    input.start(kRate, 1, [&](const float*, std::size_t n, AudioInput::TimePoint at) {
        std::lock_guard lock(mutex);
        if (++calls == 5) throw std::runtime_error("the disk said no");
        if (first == AudioInput::TimePoint{}) first = at;
        frames += n;
        until = at + std::chrono::microseconds(static_cast<long long>(n * 1e6 / kRate));
    });
    const auto locked = [&](auto f) {
        std::lock_guard lock(mutex);
        return f();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return locked([&] { return told.size() >= 2; }); }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return locked([&] { return frames >= 2u * kRate; }); }, 20000));
    input.stop();
    std::lock_guard lock(mutex);
    ASSERT_GE(told.size(), 2u);
    EXPECT_EQ(told[0], std::make_pair(false, AudioInput::Loss::delivery));
    EXPECT_TRUE(told[1].first);
    EXPECT_EQ(input.streamError(), "the disk said no");
    // The block that was refused is missing, nothing else: one block at most.
    EXPECT_NEAR(static_cast<double>(frames) / kRate,
                std::chrono::duration<double>(until - first).count(), 0.15);
}

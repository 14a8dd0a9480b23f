// The microphone recorder and the system-audio capture against the test sound server (and
// private servers for missing devices), and the wall-clock mix of their files.
#include <gtest/gtest.h>
#include <pulse/pulseaudio.h>
#include <signal.h>

#include <QTest>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "engine/MicrophoneRecorder.h"
#include "engine/SystemAudioCapture.h"
#include "platform/AudioError.h"
#include "support/AudioFixtures.h"
#include "support/PulseSession.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"
#include "util/AtomicFile.h"

using namespace audiotest;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The strongest level of `freq` over 100 ms windows.
double maxToneLevel(const std::vector<float>& x, int rate, double freq) {
    double best = 0;
    const std::size_t window = static_cast<std::size_t>(rate / 10);
    for (std::size_t i = 0; i + window <= x.size(); i += window / 2)
        best = std::max(best, toneLevel(x, rate, freq, i, i + window));
    return best;
}

// An idle sink can take seconds to deliver, more on a busy machine.
bool hasFirstSample(const SystemAudioCapture& sys, int ms = 20000) {
    return QTest::qWaitFor([&] { return sys.firstSampleAt().has_value(); }, ms);
}

const char* const kSpeakersOnly = "load-module module-null-sink sink_name=spk\n";

}  // namespace

// A tone spoken into the microphone and a 440 Hz tone played by the computer at the same time:
// each file holds its own tone only. (The microphone's tone is 2 kHz rather than 1 kHz: other
// test processes play tones between 600 and 1775 Hz on the same server.)
TEST(SystemAudioCaptureTest, RecordsMicrophoneAndComputerAudioApart) {
    TAVRO_REQUIRE_ENV("sound server", testsupport::probeSoundServer());
    TAVRO_REQUIRE_ENV("sox", commandExists("sox"));
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::Tone::writeWav(dir / "voice.wav", 2000, 1.2));
    ASSERT_TRUE(testsupport::Tone::writeWav(dir / "440.wav", 440, 1.2));

    MicrophoneRecorder mic(dir / "rec.m4a");
    SystemAudioCapture sys;
    mic.record();
    sys.start(dir / "rec-sys.m4a");
    ASSERT_TRUE(hasFirstSample(sys));
    {
        Child speak({"paplay", "-d", "ci_mic_feed", (dir / "voice.wav").string()});
        Child play({"paplay", (dir / "440.wav").string()});
        EXPECT_EQ(speak.wait(), 0);
        EXPECT_EQ(play.wait(), 0);
    }
    std::this_thread::sleep_for(300ms);
    mic.stop();
    ASSERT_EQ(sys.stop(), dir / "rec-sys.m4a");

    const auto micPcm = decodeMono(dir / "rec.m4a", 24000);
    const auto sysPcm = decodeMono(dir / "rec-sys.m4a", 24000);
    // Crosstalk would carry the other tone at full level (0.5); the margin leaves room for the
    // neighbouring tones of other tests.
    EXPECT_GT(maxToneLevel(micPcm, 24000, 2000), 0.3);
    EXPECT_LT(maxToneLevel(micPcm, 24000, 440), 0.1);
    EXPECT_GT(maxToneLevel(sysPcm, 24000, 440), 0.3);
    EXPECT_LT(maxToneLevel(sysPcm, 24000, 2000), 0.1);
}

// One sound reaches the microphone and the computer's output at the same instant (on a server
// whose microphone listens to the speakers): placed on the wall clock by the engine's start
// time and firstSampleAt, the two recordings of it coincide, though the idle server is slow to
// deliver its first samples.
TEST(SystemAudioCaptureTest, RecordingsLineUpOnTheWallClock) {
    TAVRO_REQUIRE_ENV("pulseaudio", commandExists("pulseaudio"));
    TAVRO_REQUIRE_ENV("sox", commandExists("sox"));
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::Tone::writeWav(dir / "tone.wav", 1000, 0.6));
    PrivateSoundServer server(
        "load-module module-null-sink sink_name=spk rate=48000 channels=2\n"
        "load-module module-remap-source source_name=mic master=spk.monitor channels=1\n"
        "set-default-source mic\n");

    MicrophoneRecorder mic(dir / "rec.m4a");
    SystemAudioCapture sys;
    mic.record();
    // The microphone file's time zero, as the engine takes it.
    const auto micStartedAt = mic.startedAt();
    sys.start(dir / "rec-sys.m4a");
    ASSERT_TRUE(hasFirstSample(sys));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(Child({"paplay", (dir / "tone.wav").string()}).wait(), 0);
    std::this_thread::sleep_for(300ms);
    mic.stop();
    ASSERT_TRUE(sys.stop());

    const auto inMic = toneOnset(decodeMono(dir / "rec.m4a", 24000), 24000, 1000, 0.5);
    const auto inSys = toneOnset(decodeMono(dir / "rec-sys.m4a", 24000), 24000, 1000, 0.5);
    ASSERT_TRUE(inMic && inSys);
    const auto wall = [](Clock::time_point start, double offset) {
        return std::chrono::duration<double>(start.time_since_epoch()).count() + offset;
    };
    // Each side is timed by the server's reports of its first moments; the faults this guards
    // against (the wait for the first block lost, or counted twice) cost whole seconds.
    EXPECT_NEAR(wall(micStartedAt, *inMic), wall(*sys.firstSampleAt(), *inSys), 0.15);
}

// A headset becomes the default output mid-recording: the capture moves to it, and what it plays
// lands in the one companion file at its wall-clock time. (A private server: the shared one's
// default must not change under other tests.)
TEST(SystemAudioCaptureTest, FollowsTheDefaultOutputWhenItChanges) {
    TAVRO_REQUIRE_ENV("pulseaudio", commandExists("pulseaudio"));
    TAVRO_REQUIRE_ENV("sox", commandExists("sox"));
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::Tone::writeWav(dir / "tone.wav", 1000, 1.0));
    PrivateSoundServer server(std::string(kSpeakersOnly) + "set-default-sink spk\n");
    SystemAudioCapture sys;
    sys.start(dir / "rec-sys.m4a");
    ASSERT_TRUE(hasFirstSample(sys));

    ASSERT_EQ(Child({"pactl", "load-module", "module-null-sink", "sink_name=headset"}).wait(), 0);
    ASSERT_EQ(Child({"pactl", "set-default-sink", "headset"}).wait(), 0);
    const char* moved =
        "[ \"$(pactl list short source-outputs | cut -f2)\" = "
        "\"$(pactl list short sources | grep -w headset.monitor | cut -f1)\" ]";
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::system(moved) == 0; }, 10000));

    const auto playFrom = Clock::now();
    EXPECT_EQ(Child({"paplay", (dir / "tone.wav").string()}).wait(), 0);
    const auto playTo = Clock::now();
    ASSERT_EQ(sys.stop(), dir / "rec-sys.m4a");

    const auto pcm = decodeMono(dir / "rec-sys.m4a", 24000);
    const auto onset = toneOnset(pcm, 24000, 1000, 0.5);
    ASSERT_TRUE(onset);
    const auto since = [&](Clock::time_point t) {
        return std::chrono::duration<double>(t - *sys.firstSampleAt()).count();
    };
    // The tone began while paplay ran; a file that lost the time of the move has it early.
    EXPECT_GT(*onset, since(playFrom) - 0.05);
    EXPECT_LT(*onset, since(playTo) - 1.0 + 0.05);
}

// The later file is delayed by the difference of the start times; the mix is as long as the
// later file's end.
TEST(SystemAudioCaptureTest, MixAlignsTheFilesOnTheWallClock) {
    struct Case {
        const char* name;
        double micAt;
        double sysAt;
    } cases[] = {
        {"computer audio 1.5 s later", 0.0, 1.5},
        {"microphone 1.5 s later", 1.5, 0.0},
        {"same moment", 0.0, 0.0},
        {"computer audio 0.37 s later", 0.0, 0.37},
    };
    testsupport::TempDir dir;
    writeToneM4a(dir / "mic.m4a", SystemAudioCapture::kMixSettings, {1000, 2.0, 0.4, 0});
    writeToneM4a(dir / "sys.m4a", SystemAudioCapture::kCaptureSettings, {440, 2.0, 0.4, 0});
    const auto t0 = Clock::now();
    const auto at = [&](double s) {
        return t0 + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path out = dir / "mix.m4a";
        std::ofstream(out) << "an older mix";
        SystemAudioCapture::mix(dir / "mic.m4a", at(c.micAt), dir / "sys.m4a", at(c.sysAt), out);
        const auto pcm = decodeMono(out, 24000);
        const double first = std::min(c.micAt, c.sysAt);
        EXPECT_NEAR(static_cast<double>(pcm.size()) / 24000,
                    std::max(c.micAt, c.sysAt) - first + 2.0, 0.005);
        const auto spoke = toneOnset(pcm, 24000, 1000, 0.4);
        const auto played = toneOnset(pcm, 24000, 440, 0.4);
        ASSERT_TRUE(spoke && played);
        EXPECT_NEAR(*spoke, c.micAt - first, 0.02);
        EXPECT_NEAR(*played, c.sysAt - first, 0.02);
        // Both keep their full level.
        EXPECT_NEAR(toneLevel(pcm, 24000, 1000, 36000, 48000), 0.4, 0.05);
    }
}

// A start that fails says why and touches nothing: an older file at the target stays. Settings
// the recorder cannot write fail at its creation.
TEST(SystemAudioCaptureTest, FailedStartsSayWhyAndLeaveNothingBehind) {
    testsupport::TempDir dir;
    RecorderSettings pcm;
    pcm.formatID = 0x6c70636d;  // "lpcm"
    EXPECT_THROW(MicrophoneRecorder(dir / "a.m4a", pcm), std::invalid_argument);

    TAVRO_REQUIRE_ENV("pulseaudio", commandExists("pulseaudio"));
    const int byServer = 0;  // the sound server's own error, not an AudioError
    struct Case {
        const char* name;
        bool microphone;
        std::optional<std::string> server;  // a private server's devices; none: no server
        int code;
        const char* message;
    } cases[] = {
        {"capture, no sound server", false, std::nullopt, byServer, "Connection refused"},
        {"capture, no speakers", false, "", AudioError::noCaptureTarget,
         "ディスプレイが見つかりません"},
        // Said in the app's words: it is the body of the notice that the recording did not start.
        {"microphone, no sound server", true, std::nullopt, byServer,
         "サウンドサーバーに接続できません"},
        {"microphone, no devices", true, "", byServer, "マイクが見つかりません"},
        {"microphone, only the speakers' monitor", true, kSpeakersOnly, byServer,
         "マイクが見つかりません"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv noServer("PULSE_SERVER", "unix:/nonexistent/tavro-test/native");
        std::optional<PrivateSoundServer> server;  // when given, points PULSE_SERVER at itself
        if (c.server) server.emplace(*c.server);
        const fs::path url = dir / "rec.m4a";
        std::ofstream(url) << "older";
        try {
            if (c.microphone) {
                MicrophoneRecorder mic(url);
                mic.record();
            } else {
                SystemAudioCapture sys;
                sys.start(url);
            }
            ADD_FAILURE() << "started";
        } catch (const std::runtime_error& e) {
            const auto* audio = dynamic_cast<const AudioError*>(&e);
            EXPECT_EQ(audio ? audio->code() : byServer, c.code);
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_EQ(atomicfile::read(url), "older");
    }
}

// Takes every recording slot of a device: the server refuses further streams from it.
class DeviceHog {
public:
    DeviceHog(const char* source) {
        if (!pulse_.connect(5s)) throw std::runtime_error(pulse_.error());
        const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, 8000, 1};
        for (int i = 0; i < 300; ++i) {  // the server allows 256 per device
            pa_stream* s = pa_stream_new(pulse_.context(), "hog", &sampleFormat, nullptr);
            pa_stream_connect_record(s, source, nullptr, PA_STREAM_START_CORKED);
            streams_.push_back(s);
        }
        pulse_.runUntil(
            [&] {
                return std::all_of(streams_.begin(), streams_.end(), [](pa_stream* s) {
                    return pa_stream_get_state(s) != PA_STREAM_CREATING;
                });
            },
            10s);
    }
    ~DeviceHog() {
        for (pa_stream* s : streams_) {
            pa_stream_disconnect(s);
            pa_stream_unref(s);
        }
    }

private:
    testsupport::PulseSession pulse_;
    std::vector<pa_stream*> streams_;
};

// The server refuses the stream after the file was opened: the half-written file goes, nothing
// keeps running, and the error is the server's.
TEST(SystemAudioCaptureTest, StreamRefusedAfterTheFileOpenedLeavesNoFile) {
    TAVRO_REQUIRE_ENV("pulseaudio", commandExists("pulseaudio"));
    testsupport::TempDir dir;
    PrivateSoundServer server(std::string(kSpeakersOnly) +
                              "load-module module-null-source source_name=mic\n"
                              "set-default-source mic\n");
    {
        DeviceHog hog("spk.monitor");
        SystemAudioCapture sys;
        EXPECT_THROW(sys.start(dir / "rec-sys.m4a"), std::runtime_error);
        EXPECT_FALSE(fs::exists(dir / "rec-sys.m4a"));
        EXPECT_FALSE(sys.stop());
    }
    DeviceHog hog("mic");
    MicrophoneRecorder mic(dir / "rec.m4a");
    EXPECT_THROW(mic.record(), std::runtime_error);
    EXPECT_FALSE(mic.isRecording());
    EXPECT_FALSE(fs::exists(dir / "rec.m4a"));
}

// With no audio between start and stop there is no file and no first-sample time; a second
// stop() and a stop() without start give nothing. The first-sample time of a finished capture
// stays until the next start.
TEST(SystemAudioCaptureTest, StopWithoutAudioGivesNothing) {
    TAVRO_REQUIRE_ENV("sound server", testsupport::probeSoundServer());
    TAVRO_REQUIRE_ENV("pulseaudio", commandExists("pulseaudio"));
    testsupport::TempDir dir;
    SystemAudioCapture sys;
    EXPECT_FALSE(sys.stop());

    sys.start(dir / "a-sys.m4a");
    ASSERT_TRUE(hasFirstSample(sys));
    EXPECT_EQ(sys.stop(), dir / "a-sys.m4a");
    EXPECT_TRUE(sys.firstSampleAt());

    // Speakers that are suspended deliver nothing.
    PrivateSoundServer silent(std::string(kSpeakersOnly) + "suspend-sink spk 1\n");
    sys.start(dir / "b-sys.m4a");
    EXPECT_FALSE(sys.firstSampleAt());
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(sys.stop());
    EXPECT_FALSE(fs::exists(dir / "b-sys.m4a"));
    EXPECT_FALSE(sys.firstSampleAt());
    EXPECT_FALSE(sys.stop());
}

// A recording process killed outright leaves files that still decode, hold all but the last
// seconds, and mix.
TEST(SystemAudioCaptureTest, FilesOfAKilledRecordingStillPlay) {
    TAVRO_REQUIRE_ENV("sound server", testsupport::probeSoundServer());
    testsupport::TempDir dir;
    const fs::path ready = dir / "ready";
    Child child({TAVRO_RECORD_CHILD, (dir / "rec.m4a").string(), (dir / "rec-sys.m4a").string(),
                 ready.string()});
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(ready); }, 10000));
    constexpr double kRecorded = 5.0;
    std::this_thread::sleep_for(std::chrono::duration<double>(kRecorded));
    ASSERT_EQ(::kill(child.pid(), SIGKILL), 0);
    child.wait();

    const auto now = Clock::now();
    ASSERT_NO_THROW(SystemAudioCapture::mix(dir / "rec.m4a", now, dir / "rec-sys.m4a", now,
                                            dir / "rec-mix.m4a"));
    for (const char* name : {"rec.m4a", "rec-sys.m4a", "rec-mix.m4a"})
        EXPECT_GE(decodeMono(dir / name, 24000).size() / 24000.0, kRecorded - 3.0) << name;
}

// PulseAudio: the virtual devices are the defaults, and a tone played into a sink arrives at
// the source the app records from (microphone feed → default source, speaker → its monitor).
#include <QProcess>
#include <QStringList>

#include <pulse/context.h>
#include <pulse/introspect.h>

#include <unistd.h>

#include <algorithm>
#include <span>

#include <gtest/gtest.h>

#include "PulseCapture.h"
#include "support/PulseSession.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"
#include "support/Tone.h"

using namespace std::chrono_literals;
using testsupport::PulseSession;

namespace {

constexpr int kRate = 48000;

TEST(SoundServer, DefaultDevicesAreTheVirtualOnes) {
    TAVRO_REQUIRE_ENV("PulseAudio (PULSE_SERVER)", testsupport::probeSoundServer());
    PulseSession pulse;
    ASSERT_TRUE(pulse.connect(5s)) << pulse.error();

    struct Defaults {
        bool done = false;
        std::string sink, source;
    } defaults;
    pa_operation* op = pa_context_get_server_info(
        pulse.context(),
        [](pa_context*, const pa_server_info* info, void* user) {
            auto* d = static_cast<Defaults*>(user);
            if (info) {
                d->sink = info->default_sink_name ? info->default_sink_name : "";
                d->source = info->default_source_name ? info->default_source_name : "";
            }
            d->done = true;
        },
        &defaults);
    ASSERT_NE(op, nullptr) << pulse.error();
    const bool answered = pulse.runUntil([&] { return defaults.done; }, 5s);
    pa_operation_unref(op);
    ASSERT_TRUE(answered);
    EXPECT_EQ(defaults.sink, "ci_speaker");
    EXPECT_EQ(defaults.source, "ci_mic");
}

struct ToneRoute {
    const char* playDevice;    // paplay -d; empty: the default sink
    const char* recordSource;  // empty: the default source
};

// Test processes share the sound server and may play tones at the same time, so each looks
// for a frequency of its own.
double ownToneHz(int salt) {
    return 600 + 25 * ((getpid() * 2 + salt) % 48);
}

void expectToneArrives(const ToneRoute& route, int salt) {
    const double hz = ownToneHz(salt);
    testsupport::TempDir dir;
    const auto wav = dir / "tone.wav";
    ASSERT_TRUE(testsupport::Tone::writeWav(wav, hz, 3.0, 0.5)) << "sox failed";

    PulseSession pulse;
    ASSERT_TRUE(pulse.connect(10s)) << pulse.error();
    PulseCapture capture(pulse);
    ASSERT_TRUE(capture.start(route.recordSource, kRate, 5s)) << capture.error();

    QProcess player;
    player.setProcessChannelMode(QProcess::ForwardedChannels);
    QStringList args;
    if (*route.playDevice) args << "-d" << route.playDevice;
    args << QString::fromStdString(wav.string());
    player.start("paplay", args);
    ASSERT_TRUE(player.waitForStarted(5000)) << "cannot start paplay";

    // Slide a 0.2 s window in 50 ms steps over what arrives. An idle null sink can take about
    // 2 s to deliver, so allow well past that.
    const size_t window = kRate / 5, step = kRate / 20;
    size_t start = 0;
    double best = 0;
    bool playerFailed = false;
    const bool heard = pulse.runUntil(
        [&] {
            capture.drain();
            const auto& s = capture.samples();
            for (; start + window <= s.size(); start += step) {
                best = std::max(best, testsupport::Tone::amplitudeAt(
                                          std::span(s.data() + start, window), kRate, hz));
                if (best > 0.25) return true;
            }
            playerFailed = player.waitForFinished(0) && player.exitCode() != 0;
            return playerFailed;
        },
        10s);
    player.kill();
    player.waitForFinished(5000);

    ASSERT_FALSE(playerFailed) << "paplay exited with " << player.exitCode();
    EXPECT_TRUE(heard) << "no " << hz << " Hz tone at amplitude 0.5 in " << capture.samples().size()
                       << " frames; best amplitude " << best;
}

TEST(SoundServer, MicrophoneFeedReachesTheDefaultSource) {
    TAVRO_REQUIRE_ENV("PulseAudio (PULSE_SERVER)", testsupport::probeSoundServer());
    expectToneArrives({"ci_mic_feed", ""}, 0);
}

TEST(SoundServer, DefaultSinkReachesItsMonitor) {
    TAVRO_REQUIRE_ENV("PulseAudio (PULSE_SERVER)", testsupport::probeSoundServer());
    expectToneArrives({"", "ci_speaker.monitor"}, 1);
}

}  // namespace

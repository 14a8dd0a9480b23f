// PulseAudio: the virtual devices are the defaults, and a tone played into a sink arrives at
// the source the app records from (microphone feed → default source, speaker → its monitor).
#include <QProcess>
#include <QStringList>

#include <pulse/context.h>
#include <pulse/introspect.h>

#include <cmath>
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
constexpr double kToneHz = 1000;

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

void expectToneArrives(const ToneRoute& route) {
    testsupport::TempDir dir;
    const auto wav = dir / "tone.wav";
    ASSERT_TRUE(testsupport::Tone::writeWav(wav, kToneHz, 3.0)) << "sox failed";

    PulseSession pulse;
    ASSERT_TRUE(pulse.connect(5s)) << pulse.error();
    PulseCapture capture(pulse);
    ASSERT_TRUE(capture.start(route.recordSource, kRate, 5s)) << capture.error();

    QProcess player;
    player.setProcessChannelMode(QProcess::ForwardedChannels);
    QStringList args;
    if (*route.playDevice) args << "-d" << route.playDevice;
    args << QString::fromStdString(wav.string());
    player.start("paplay", args);
    ASSERT_TRUE(player.waitForStarted(5000)) << "cannot start paplay";

    // An idle null sink can take about 2 s to deliver, so wait well past that for the onset,
    // then take 0.2 s from it.
    const size_t want = kRate / 5;
    size_t onset = 0;
    bool found = false, playerFailed = false;
    const bool enough = pulse.runUntil(
        [&] {
            capture.drain();
            const auto& s = capture.samples();
            for (; !found && onset < s.size(); ++onset)
                if (std::fabs(s[onset]) > 0.05f) found = true;
            if (!found && player.waitForFinished(0) && player.exitCode() != 0) playerFailed = true;
            return playerFailed || (found && s.size() >= onset + want);
        },
        10s);
    player.kill();
    player.waitForFinished(5000);

    ASSERT_FALSE(playerFailed) << "paplay exited with " << player.exitCode();
    ASSERT_TRUE(enough) << capture.samples().size() << " frames arrived, sound found: " << found;
    const std::span<const float> window(capture.samples().data() + onset, want);
    EXPECT_GT(testsupport::Tone::amplitudeAt(window, kRate, kToneHz), 0.25);
}

TEST(SoundServer, MicrophoneFeedReachesTheDefaultSource) {
    TAVRO_REQUIRE_ENV("PulseAudio (PULSE_SERVER)", testsupport::probeSoundServer());
    expectToneArrives({"ci_mic_feed", ""});
}

TEST(SoundServer, DefaultSinkReachesItsMonitor) {
    TAVRO_REQUIRE_ENV("PulseAudio (PULSE_SERVER)", testsupport::probeSoundServer());
    expectToneArrives({"", "ci_speaker.monitor"});
}

}  // namespace

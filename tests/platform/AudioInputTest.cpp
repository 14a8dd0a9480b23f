// Capture from the sound server: the test server of the test environment, and private servers
// for a server without devices and one whose only "microphone" is a sink's monitor.
#include <pulse/pulseaudio.h>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "platform/AudioInput.h"
#include "support/AudioFixtures.h"
#include "support/TestEnv.h"

using namespace audiotest;
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

// A playback stream of this process, playing silence into the default sink until it goes.
class OwnStream {
public:
    OwnStream() : loop_(pa_threaded_mainloop_new()) {
        pa_threaded_mainloop_start(loop_);
        pa_threaded_mainloop_lock(loop_);
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "own stream");
        pa_context_set_state_callback(context_, &signal, loop_);
        pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
        while (PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)) &&
               pa_context_get_state(context_) != PA_CONTEXT_READY)
            pa_threaded_mainloop_wait(loop_);
        const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, 48000, 1};
        stream_ = pa_stream_new(context_, "own stream", &format, nullptr);
        pa_stream_set_state_callback(stream_, &signal, loop_);
        pa_stream_set_write_callback(
            stream_,
            [](pa_stream* s, std::size_t bytes, void*) {
                std::vector<char> zeros(bytes);
                pa_stream_write(s, zeros.data(), bytes, nullptr, 0, PA_SEEK_RELATIVE);
            },
            nullptr);
        pa_stream_connect_playback(stream_, nullptr, nullptr, PA_STREAM_NOFLAGS, nullptr, nullptr);
        while (PA_STREAM_IS_GOOD(pa_stream_get_state(stream_)) &&
               pa_stream_get_state(stream_) != PA_STREAM_READY)
            pa_threaded_mainloop_wait(loop_);
        ready_ = pa_stream_get_state(stream_) == PA_STREAM_READY;
        pa_threaded_mainloop_unlock(loop_);
    }
    ~OwnStream() {
        pa_threaded_mainloop_lock(loop_);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        pa_threaded_mainloop_unlock(loop_);
        pa_threaded_mainloop_stop(loop_);
        pa_threaded_mainloop_free(loop_);
    }
    OwnStream(const OwnStream&) = delete;
    OwnStream& operator=(const OwnStream&) = delete;
    bool ready() const { return ready_; }

private:
    template <typename T>
    static void signal(T*, void* loop) {
        pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
    }
    pa_threaded_mainloop* loop_;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    bool ready_ = false;
};

}  // namespace

// A stream of this process that stays on far longer than a cue is left out for the bound only,
// not for as long as it stays: the recording goes on being delivered after it.
TEST(AudioInputTest, AnOwnStreamThatStaysIsLeftOutForTheBoundOnly) {
    TAVRO_REQUIRE_ENV("pulseaudio", commandExists("pulseaudio"));
    PrivateSoundServer server("load-module module-null-sink sink_name=spk\n");
    const double bound = std::chrono::duration<double>(AudioInput::kLongestOwnSound).count();
    AudioInput input;
    input.setSilencesOwnSounds(true);
    input.open(Device::computerOutput);
    std::atomic<std::size_t> silenced{0}, frames{0};
    input.start(24000, 1, [&](const float* x, std::size_t n, auto) {
        frames += n;
        if (!x) silenced += n;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return frames > 0; }, 20000));
    {
        OwnStream stream;
        ASSERT_TRUE(stream.ready());
        const std::size_t until = frames + 4 * 24000;
        ASSERT_TRUE(QTest::qWaitFor([&] { return frames >= until; }, 30000));
    }
    input.stop();
    EXPECT_GE(silenced / 24000.0, 0.5);
    // The bound, the margin before the stream appeared and after the bound, and one block.
    EXPECT_LE(silenced / 24000.0, bound + 0.25);
}

// Capture from the sound server: the test server of the test environment, and private servers
// for a server without devices and one whose only "microphone" is a sink's monitor.
#include <gtest/gtest.h>

#include <atomic>

#include "support/AudioFixtures.h"
#include "platform/AudioInput.h"
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

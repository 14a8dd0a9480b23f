// Capture from the sound server: the test server of the test environment, and private servers
// for a server without devices and one whose only "microphone" is a sink's monitor.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/AudioFixtures.h"
#include "platform/AudioInput.h"
#include "support/TestEnv.h"

using namespace audiotest;
using Kind = AudioInput::Error::Kind;
using Device = AudioInput::Device;

// Which device each request finds, or why there is none.
TEST(AudioInputTest, FindsTheDeviceOrSaysWhyNot) {
    TAVRO_REQUIRE_ENV("pulseaudio", commandExists("pulseaudio"));
    struct Case {
        const char* name;
        const char* config;
        Device device;
        std::optional<Kind> failure;
        const char* source;
    } cases[] = {
        {"no devices, microphone", "", Device::microphone, Kind::noDevice, ""},
        {"no devices, computer output", "", Device::computerOutput, Kind::noDevice, ""},
        // A server with speakers only offers their monitor as the default source.
        {"speakers only, microphone", "load-module module-null-sink sink_name=spk\n",
         Device::microphone, Kind::monitorAsMicrophone, ""},
        {"speakers only, computer output", "load-module module-null-sink sink_name=spk\n",
         Device::computerOutput, std::nullopt, "spk.monitor"},
        {"real microphone",
         "load-module module-null-sink sink_name=spk\n"
         "load-module module-null-source source_name=mic\n"
         "set-default-source mic\n",
         Device::microphone, std::nullopt, "mic"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
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

// Blocks arrive in the asked format until stop(), and none after it.
TEST(AudioInputTest, DeliversUntilStopped) {
    TAVRO_REQUIRE_ENV("sound server", testsupport::probeSoundServer());
    for (const Device device : {Device::microphone, Device::computerOutput}) {
        AudioInput input;
        input.open(device);
        std::atomic<std::size_t> frames{0};
        input.start(24000, 1, [&](const float*, std::size_t n, auto) { frames += n; });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (frames < 24000 / 4 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        input.stop();
        EXPECT_GE(frames.load(), 24000u / 4);
        const std::size_t atStop = frames;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(frames.load(), atStop);
        EXPECT_EQ(input.streamError(), "");
    }
}

// The AAC writer, the reader and the mixer against each other, with real files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/AacFileWriter.h"
#include "platform/AudioError.h"
#include "platform/AudioFileReader.h"
#include "platform/AudioFixtures.h"
#include "platform/AudioMixer.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"

using namespace audiotest;
namespace fs = std::filesystem;

namespace {

constexpr AacSettings kMic{24000, 1, 48000};
constexpr AacSettings kSys{48000, 2, 96000};

std::string slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

bool hasPartialFiles(const fs::path& dir) {
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().find(".partial-") != std::string::npos) return true;
    return false;
}

}  // namespace

// The encoder's priming and its last frame's padding must not shift or lengthen the audio,
// whatever rate and layout the file is read back in.
TEST(AacFileTest, RoundTripKeepsPositionLengthAndLevel) {
    struct Case {
        AacSettings written;
        int readRate;
        int readChannels;
    } cases[] = {
        {kMic, 24000, 1},
        {kSys, 48000, 2},
        {kSys, 24000, 1},
        {kMic, 48000, 1},
    };
    testsupport::TempDir dir;
    const Tone tone{1000, 1.0, 0.5, 0.3};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.written.sampleRate) + "/" +
                     std::to_string(c.written.channels) + " read as " + std::to_string(c.readRate) +
                     "/" + std::to_string(c.readChannels));
        const fs::path file = dir / "tone.m4a";
        writeToneM4a(file, c.written, tone);
        const auto pcm = decode(file, c.readRate, c.readChannels);
        const double frames = static_cast<double>(pcm.size()) / c.readChannels;
        EXPECT_NEAR(frames / c.readRate, 1.3, 0.002);
        std::vector<float> left(pcm.size() / c.readChannels);
        for (std::size_t i = 0; i < left.size(); ++i) left[i] = pcm[i * c.readChannels];
        const auto onset = toneOnset(left, c.readRate, 1000, 0.5);
        ASSERT_TRUE(onset);
        EXPECT_NEAR(*onset, 0.3, 0.01);
        // A stereo-to-mono downmix must not come out 3 dB hot (0.71).
        const double level = toneLevel(left, c.readRate, 1000, c.readRate / 2, c.readRate);
        EXPECT_NEAR(level, 0.5, 0.05);
    }
}

// A writer killed or cut off by a power loss leaves a file whose last fragment is torn: in its
// data (packets cut short) or in its header. The reader keeps every whole fragment before the
// tear, ends cleanly without noise from a broken packet, and does not throw.
TEST(AacFileTest, ReaderKeepsTheWholeFragmentsOfATornFile) {
    testsupport::TempDir dir;
    const fs::path whole = dir / "whole.m4a";
    writeToneM4a(whole, kMic, {440, 7.0, 0.5, 0});
    const std::string bytes = slurp(whole);
    std::vector<std::size_t> fragments;  // where each fragment's header begins
    for (std::size_t at = bytes.find("moof"); at != std::string::npos;
         at = bytes.find("moof", at + 1))
        fragments.push_back(at - 4);
    ASSERT_EQ(fragments.size(), 4u);  // two seconds each
    struct Case {
        const char* name;
        std::size_t length;
        double minSeconds;
    } cases[] = {
        {"inside the second header", fragments[1] + 60, 2.0 - 0.05},
        {"inside the fourth header", fragments[3] + 100, 6.0 - 0.05},
        {"inside the second data", fragments[1] + (fragments[2] - fragments[1]) / 2, 2.9},
        {"inside the third data", fragments[2] + (fragments[3] - fragments[2]) * 3 / 4, 5.3},
        {"whole", bytes.size(), 7.0 - 1e-3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path cut = dir / "cut.m4a";
        std::ofstream(cut, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(c.length));
        std::vector<float> pcm;
        ASSERT_NO_THROW(pcm = decodeMono(cut, 24000));
        const double seconds = static_cast<double>(pcm.size()) / 24000;
        EXPECT_GE(seconds, c.minSeconds);
        EXPECT_LE(seconds, 7.0 + 1e-3);
        // The encoder itself overshoots on the tone's abrupt start; look past it.
        pcm.erase(pcm.begin(), pcm.begin() + std::min<std::ptrdiff_t>(2400, pcm.size()));
        EXPECT_LT(peak(pcm), 0.65);
    }
}

TEST(AacFileTest, WriterCancelRemovesTheFileAndOpenFailureLeavesNothing) {
    testsupport::TempDir dir;
    {
        AacFileWriter w(dir / "a.m4a", kMic);
        w.writeSilence(24000);
        w.cancel();
    }
    EXPECT_FALSE(fs::exists(dir / "a.m4a"));
    EXPECT_THROW(AacFileWriter(dir / "no-such-folder" / "a.m4a", kMic), std::runtime_error);
    EXPECT_THROW(AacFileWriter(dir / "b.m4a", AacSettings{24000, 3, 48000}), std::invalid_argument);
    EXPECT_FALSE(fs::exists(dir / "b.m4a"));
}

// Two loud tracks add up past full scale; the mix is clamped instead of wrapping or blowing up.
TEST(MixAudioFilesTest, ClampsTheSumOfLoudTracks) {
    testsupport::TempDir dir;
    writeToneM4a(dir / "a.m4a", kMic, {500, 1.0, 0.9, 0});
    writeToneM4a(dir / "b.m4a", kSys, {500, 1.0, 0.9, 0});
    mixAudioFiles({{dir / "a.m4a", 0}, {dir / "b.m4a", 0}}, dir / "mix.m4a", kMic);
    const auto mix = decodeMono(dir / "mix.m4a", 24000);
    EXPECT_NEAR(static_cast<double>(mix.size()) / 24000, 1.0, 0.002);
    EXPECT_LT(peak(mix), 1.3);  // unclamped it would reach 1.8
    EXPECT_GT(peak(mix), 0.95);
}

// An input that cannot be read, or holds no audio (code 3), fails the mix; a failed mix leaves
// an existing output as it was and no temporary file behind; a good one replaces it.
TEST(MixAudioFilesTest, ReplacesTheOutputOnlyWhenTheMixSucceeds) {
    testsupport::TempDir dir;
    writeToneM4a(dir / "a.m4a", kMic, {1000, 0.5, 0.5, 0});
    std::ofstream(dir / "text.m4a") << "not audio";
    TAVRO_REQUIRE_ENV("ffmpeg", commandExists("ffmpeg"));
    ASSERT_EQ(Child({"ffmpeg", "-loglevel", "quiet", "-f", "lavfi", "-i",
                     "color=c=black:s=16x16:d=0.2", "-c:v", "mpeg4", (dir / "video.mp4").string()})
                  .wait(),
              0);
    struct Case {
        const char* second;
        int audioErrorCode;  // 0: the library's own error
    } cases[] = {{"missing.m4a", 0}, {"text.m4a", 0}, {"video.mp4", AudioError::mixFailed}};
    const fs::path out = dir / "out-mix.m4a";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.second);
        std::ofstream(out) << "older mix";
        try {
            mixAudioFiles({{dir / "a.m4a", 0}, {dir / c.second, 1.5}}, out, kMic);
            ADD_FAILURE() << "mix succeeded";
        } catch (const AudioError& e) {
            EXPECT_EQ(e.code(), c.audioErrorCode);
            EXPECT_STREQ(e.domain(), "TAVRO");
            EXPECT_STREQ(e.what(), "音声のミックスに失敗しました");
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(c.audioErrorCode, 0) << e.what();
        }
        EXPECT_EQ(slurp(out), "older mix");
        EXPECT_FALSE(hasPartialFiles(dir.path()));
    }
    mixAudioFiles({{dir / "a.m4a", 0}, {dir / "a.m4a", 0.25}}, out, kMic);
    EXPECT_NEAR(static_cast<double>(decodeMono(out, 24000).size()) / 24000, 0.75, 0.002);
    EXPECT_FALSE(hasPartialFiles(dir.path()));
}

// The AAC writer, the reader and the mixer against each other, with real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "platform/AudioError.h"
#include "platform/AudioMixer.h"
#include "support/AudioFixtures.h"
#include "support/TestEnv.h"

using namespace audiotest;
namespace fs = std::filesystem;

namespace {

constexpr AacSettings kMic{24000, 1, 48000};
constexpr AacSettings kSys{48000, 2, 96000};

double seconds(const std::vector<float>& mono) {
    return static_cast<double>(mono.size()) / 24000;
}

// One part of a file made by ffmpeg: a tone of `freq` at amplitude 0.5 in every channel.
struct Part {
    const char* codec;
    int rate;
    int channels;
    double freq;
    double seconds;
};

// Encodes `part` into `file` with the ffmpeg tool; false when it fails.
bool encodePart(const fs::path& file, const Part& part) {
    const std::string tone = "aevalsrc=0.5*sin(2*PI*" + std::to_string(part.freq) +
                             "*t):s=" + std::to_string(part.rate) +
                             ":d=" + std::to_string(part.seconds);
    std::string pan = "anull";
    if (part.channels > 1) {
        pan = "pan=" +
              (part.channels == 2 ? std::string("stereo") : std::to_string(part.channels) + "c");
        for (int c = 0; c < part.channels; ++c) pan += "|c" + std::to_string(c) + "=c0";
    }
    return Child({"ffmpeg", "-loglevel", "quiet", "-y", "-f", "lavfi", "-i", tone, "-af", pan,
                  "-c:a", part.codec, file.string()})
               .wait() == 0;
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
    const struct {
        AacSettings written;
        int rate, channels;
    } cases[] = {{kMic, 24000, 1}, {kSys, 48000, 2}, {kSys, 24000, 1}, {kMic, 48000, 1}};
    testsupport::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.written.channels) + " read as " + std::to_string(c.rate) +
                     "/" + std::to_string(c.channels));
        writeToneM4a(dir / "tone.m4a", c.written, {1000, 1.0, 0.5, 0.3});
        EXPECT_EQ(std::filesystem::status(dir / "tone.m4a").permissions(),
                  std::filesystem::perms(0600));
        const auto pcm = decode(dir / "tone.m4a", c.rate, c.channels);
        std::vector<float> left(pcm.size() / c.channels);
        for (std::size_t i = 0; i < left.size(); ++i) left[i] = pcm[i * c.channels];
        EXPECT_NEAR(double(left.size()) / c.rate, 1.3, 0.002);
        const auto onset = toneOnset(left, c.rate, 1000, 0.5);
        ASSERT_TRUE(onset);
        EXPECT_NEAR(*onset, 0.3, 0.01);
        // A stereo-to-mono downmix must not come out 3 dB hot (0.71).
        EXPECT_NEAR(toneLevel(left, c.rate, 1000, c.rate / 2, c.rate), 0.5, 0.05);
    }
}

// A writer killed or cut off by a power loss leaves a file whose last fragment is torn: in its
// data (packets cut short) or in its header. The reader keeps every whole fragment before the
// tear, ends cleanly without noise from a broken packet, and does not throw.
TEST(AacFileTest, ReaderKeepsTheWholeFragmentsOfATornFile) {
    testsupport::TempDir dir;
    writeToneM4a(dir / "whole.m4a", kMic, {440, 7.0, 0.5, 0});
    const std::string bytes = fileText(dir / "whole.m4a");
    std::vector<std::size_t> at;  // where each fragment's header begins
    for (auto i = bytes.find("moof"); i != std::string::npos; i = bytes.find("moof", i + 1))
        at.push_back(i - 4);
    ASSERT_EQ(at.size(), 5u);  // the first packets at once, then two seconds each
    at.erase(at.begin());
    const struct {
        const char* name;
        std::size_t length;
        double minSeconds;
    } cases[] = {
        {"after the first packets", at[0], 0.04},
        {"inside the second header", at[1] + 60, 2.0 - 0.05},
        {"inside the fourth header", at[3] + 100, 6.0 - 0.05},
        {"inside the second data", at[1] + (at[2] - at[1]) / 2, 2.9},
        {"inside the third data", at[2] + (at[3] - at[2]) * 3 / 4, 5.3},
        {"whole", bytes.size(), 7.0 - 1e-3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(dir / "cut.m4a", std::ios::binary)
            .write(bytes.data(), std::streamsize(c.length));
        std::vector<float> pcm;
        ASSERT_NO_THROW(pcm = decodeMono(dir / "cut.m4a", 24000));
        EXPECT_GE(seconds(pcm), c.minSeconds);
        EXPECT_LE(seconds(pcm), 7.0 + 1e-3);
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

// An input that cannot be read, or holds no audio (code 3), fails the mix; a failed mix leaves
// an existing output as it was and no temporary file behind. A good one replaces it, clamped
// where two loud tracks add up past full scale.
TEST(MixAudioFilesTest, ReplacesTheOutputOnlyWhenTheMixSucceeds) {
    testsupport::TempDir dir;
    writeToneM4a(dir / "a.m4a", kMic, {500, 0.5, 0.9, 0});
    writeToneM4a(dir / "b.m4a", kSys, {500, 0.5, 0.9, 0});
    std::ofstream(dir / "text.m4a") << "not audio";
    TAVRO_REQUIRE_ENV("ffmpeg", commandExists("ffmpeg"));
    ASSERT_EQ(Child({"ffmpeg", "-loglevel", "quiet", "-f", "lavfi", "-i",
                     "color=c=black:s=16x16:d=0.2", "-c:v", "mpeg4", (dir / "video.mp4").string()})
                  .wait(),
              0);
    const struct {
        const char* second;
        int audioErrorCode;  // 0: the library's own error
    } cases[] = {{"missing.m4a", 0}, {"text.m4a", 0}, {"video.mp4", AudioError::mixFailed}};
    const fs::path out = dir / "out-mix.m4a";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.second);
        std::ofstream(out) << "older mix";
        try {
            mixAudioFiles({{dir / "a.m4a", 0}, {dir / c.second, 1.5}}, out, kMic);
            ADD_FAILURE() << "mix succeeded";
        } catch (const AudioError& e) {
            EXPECT_EQ(e.code(), c.audioErrorCode);
            EXPECT_STREQ(e.what(), "音声のミックスに失敗しました");
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(c.audioErrorCode, 0) << e.what();
        }
        EXPECT_EQ(fileText(out), "older mix");
        EXPECT_FALSE(hasPartialFiles(dir.path()));
    }
    mixAudioFiles({{dir / "a.m4a", 0}, {dir / "b.m4a", 0}}, out, kMic);
    const auto mix = decodeMono(out, 24000);
    EXPECT_LT(peak(mix), 1.3);  // unclamped it would reach 1.8
    EXPECT_GT(peak(mix), 0.95);
    mixAudioFiles({{dir / "a.m4a", 0}, {dir / "b.m4a", 0.25}}, out, kMic);
    EXPECT_NEAR(seconds(decodeMono(out, 24000)), 0.75, 0.002);
    EXPECT_FALSE(hasPartialFiles(dir.path()));
}

// Chained Ogg streams and joined MP3 files change their channel count, layout or rate from one
// part to the next, and a file may hold more channels than a frame's first eight data pointers.
// Every part is read at its own rate, whole and in its place, as long as it reads on its own;
// nothing is read that was not decoded (ASan), whatever format the reader converts to.
TEST(AudioFileReaderTest, ReadsEveryPartOfAFileThatChangesShape) {
    TAVRO_REQUIRE_ENV("ffmpeg", commandExists("ffmpeg"));
    const struct {
        const char* name;
        const char* ext;
        std::vector<Part> parts;
        // What the whole may hold beyond its parts read on their own: a joined MP3 file keeps the
        // first part's padding and the next one's header frame and encoder delay; the Ogg
        // demuxer times a chained part by the first part's block sizes, so a part whose blocks
        // differ keeps its last block untrimmed.
        double maxExtra;
    } cases[] = {
        {"Ogg Vorbis stereo then mono",
         "oga",
         {{"libvorbis", 48000, 2, 440, 0.4}, {"libvorbis", 48000, 1, 1000, 0.4}},
         0},
        {"Ogg Vorbis 48 kHz then 24 kHz",
         "oga",
         {{"libvorbis", 48000, 2, 440, 0.3}, {"libvorbis", 24000, 1, 1000, 0.3}},
         0.025},
        {"Ogg Vorbis 16 channels then stereo at 44.1 kHz",
         "oga",
         {{"libvorbis", 48000, 16, 440, 0.4}, {"libvorbis", 44100, 2, 1000, 0.4}},
         0},
        {"Ogg Vorbis 16 channels", "oga", {{"libvorbis", 48000, 16, 440, 0.5}}, 0},
        {"MP3 stereo then mono",
         "mp3",
         {{"libmp3lame", 44100, 2, 440, 0.5}, {"libmp3lame", 44100, 1, 1000, 0.5}},
         0.1},
        {"MP3 48 kHz then 24 kHz",
         "mp3",
         {{"libmp3lame", 48000, 2, 440, 0.5}, {"libmp3lame", 24000, 1, 1000, 0.5}},
         0.1},
    };
    constexpr double kTolerance = 0.005;
    testsupport::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = dir / (std::string("joined.") + c.ext);
        std::string bytes;
        for (std::size_t i = 0; i < c.parts.size(); ++i) {
            ASSERT_TRUE(encodePart(dir / ("part" + std::to_string(i) + "." + c.ext), c.parts[i]));
            bytes += fileText(dir / ("part" + std::to_string(i) + "." + c.ext));
        }
        std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        EXPECT_FALSE(AudioFileReader::holdsNoAudio(file));
        for (const auto& [rate, channels] : {std::pair{24000, 1}, std::pair{48000, 2}}) {
            SCOPED_TRACE("read as " + std::to_string(rate) + "/" + std::to_string(channels));
            std::vector<double> lengths;  // of each part read on its own
            for (std::size_t i = 0; i < c.parts.size(); ++i) {
                const auto alone =
                    decode(dir / ("part" + std::to_string(i) + "." + c.ext), rate, channels);
                lengths.push_back(double(alone.size() / channels) / rate);
                EXPECT_NEAR(lengths.back(), c.parts[i].seconds, 0.02) << "part " << i;
            }
            const double expected = std::accumulate(lengths.begin(), lengths.end(), 0.0);
            std::vector<float> pcm;
            ASSERT_NO_THROW(pcm = decode(file, rate, channels));
            std::vector<float> left(pcm.size() / channels);
            for (std::size_t i = 0; i < left.size(); ++i) left[i] = pcm[i * channels];
            const double length = double(left.size()) / rate;
            EXPECT_GE(length, expected - kTolerance);
            EXPECT_LE(length, expected + c.maxExtra + kTolerance);
            EXPECT_TRUE(
                std::all_of(pcm.begin(), pcm.end(), [](float v) { return std::isfinite(v); }));
            EXPECT_LT(peak(pcm), 0.8);
            // Each part's tone, at its level, where that part belongs and nowhere else.
            double at = 0;
            for (std::size_t i = 0; i < c.parts.size(); ++i) {
                const Part& p = c.parts[i];
                const double extra = i > 0 ? c.maxExtra : 0;
                const auto from = std::size_t((at + extra + 0.08) * rate);
                const auto to = std::size_t((at + lengths[i] - 0.08) * rate);
                // A mono part spread over two channels is 3 dB down in each.
                const double level = p.channels == 1 && channels == 2 ? 0.5 * std::sqrt(0.5) : 0.5;
                EXPECT_NEAR(toneLevel(left, rate, p.freq, from, to), level, 0.08) << "part " << i;
                for (const Part& other : c.parts) {
                    if (other.freq == p.freq) continue;
                    EXPECT_LT(toneLevel(left, rate, other.freq, from, to), 0.05) << "part " << i;
                }
                at += lengths[i];
            }
        }
    }
}

// A variable-rate MP3 file without a header that states its length: the length libavformat
// estimates from the bit rate of its loud start is half the real one, and no end to cut at.
TEST(AudioFileReaderTest, ReadsAnMp3PastTheLengthEstimatedFromItsBitRate) {
    TAVRO_REQUIRE_ENV("ffmpeg", commandExists("ffmpeg"));
    testsupport::TempDir dir;
    ASSERT_EQ(
        Child({"ffmpeg", "-loglevel", "quiet", "-f", "lavfi", "-i",
               "aevalsrc='if(lt(t,1),0.5*(random(0)*2-1),0.5*sin(2*PI*1000*t))':s=44100:d=6",
               "-q:a", "0", "-write_xing", "0", "-c:a", "libmp3lame", (dir / "vbr.mp3").string()})
            .wait(),
        0);
    const auto pcm = decodeMono(dir / "vbr.mp3", 24000);
    EXPECT_NEAR(double(pcm.size()) / 24000, 6.0, 0.06);
    EXPECT_NEAR(toneLevel(pcm, 24000, 1000, 5 * 24000, 24000 * 59 / 10), 0.5, 0.05);
}

// Past what the resampler can convert the file is refused with the reason, not read wrongly; the
// check of an imported file does not take it for empty.
TEST(AudioFileReaderTest, RefusesAFileWithMoreChannelsThanItCanConvert) {
    TAVRO_REQUIRE_ENV("ffmpeg", commandExists("ffmpeg"));
    testsupport::TempDir dir;
    std::ofstream(dir / "zeros.raw", std::ios::binary) << std::string(8000 * 2 * 100 / 10, '\0');
    ASSERT_EQ(Child({"ffmpeg", "-loglevel", "quiet", "-f", "s16le", "-ar", "8000", "-ac", "100",
                     "-i", (dir / "zeros.raw").string(), (dir / "wide.wav").string()})
                  .wait(),
              0);
    try {
        decode(dir / "wide.wav", 24000, 1);
        ADD_FAILURE() << "a 100-channel file was read";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("100 channels"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(AudioFileReader::holdsNoAudio(dir / "wide.wav"));
}

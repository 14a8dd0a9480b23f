#pragma once
// Streams the first audio track of a file as interleaved float samples at a chosen rate and
// channel count. Reads files that a killed writer left behind: the encoder's priming (negative
// time stamps) and the padding past the track's duration are dropped, a broken last packet ends
// the track instead of failing it, and a fragment torn by a power loss is cut off so that the
// fragments before it still play. Any channel count is read, and a track whose channels, layout or
// rate change part-way (chained Ogg streams, joined MP3 files) is read through every part.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

class AudioFileReader {
public:
    // Thrown when the file opens but holds no audio track.
    class NoAudioTrack : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    // Throws NoAudioTrack, or std::runtime_error with the library's reason when the file cannot
    // be opened or decoded. read() throws std::runtime_error for a part it cannot convert.
    AudioFileReader(const std::filesystem::path& path, int sampleRate, int channels);
    ~AudioFileReader();
    AudioFileReader(const AudioFileReader&) = delete;
    AudioFileReader& operator=(const AudioFileReader&) = delete;

    // Whether `path` holds no audio at all: an empty file, a file without an audio track, or a
    // track without samples. A file that cannot be read is not known to be empty: false.
    static bool holdsNoAudio(const std::filesystem::path& path);

    // Fills up to `frames` frames; fewer only at the end of the track.
    std::size_t read(float* interleaved, std::size_t frames);

    int sampleRate() const { return outRate_; }
    int channels() const { return outChannels_; }

private:
    bool refill();
    void takeFrame();
    void convert(const AVFrame* frame, int skip, int count);
    void drainResampler();
    void appendConverted(const std::uint8_t** in, int count);
    void ensureResampler(const AVFrame* frame);
    int setUpResampler(const AVFrame* frame, bool evenMix);
    void release();
    void openTrimmed(const std::filesystem::path& path, std::int64_t length);

    struct TrimmedInput;
    std::unique_ptr<TrimmedInput> trimmed_;  // set when only a prefix of the file is readable
    struct InputShape;
    std::unique_ptr<InputShape> shape_;  // what the resampler was set up for; null before that

    int outRate_;
    int outChannels_;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    SwrContext* swr_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    int streamIndex_ = -1;
    // In the track's time base, so that they stay right when the rate changes.
    std::int64_t endTime_ = -1;          // the track's stated end; -1 unknown
    std::int64_t nextTime_ = INT64_MIN;  // where the next frame starts; INT64_MIN before the first
    bool continuous_ = true;             // no time stamp has gone back so far
    bool demuxDone_ = false;
    bool decodeDone_ = false;
    bool flushed_ = false;
    std::vector<float> buffer_;
    std::size_t bufferPos_ = 0;
};

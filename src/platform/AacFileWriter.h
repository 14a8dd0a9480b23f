#pragma once
// AAC-LC into a fragmented MPEG-4 audio file (.m4a). The header goes out with a first fragment
// as soon as the encoder gives its first packet, and a fragment follows every two seconds, so a
// file whose writer is killed still plays up to its last complete fragment.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <system_error>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

struct AacSettings {
    int sampleRate = 24000;
    int channels = 1;
    int bitRate = 48000;  // bits per second
    bool operator==(const AacSettings&) const = default;
};

class AacFileWriter {
public:
    // Writing to the file failed (a full disk, a file size limit, an I/O error). The file is
    // closed then, cut back to its last complete fragment, and stays playable up to there.
    class WriteError : public std::system_error {
    public:
        using std::system_error::system_error;
    };

    // Creates (or truncates) `path` and writes the container header. Throws std::runtime_error
    // with the library's reason when the file or the encoder cannot be set up; nothing is left
    // at `path` then.
    AacFileWriter(std::filesystem::path path, AacSettings settings);
    // Finishes the file unless finish() or cancel() ran; errors are swallowed.
    ~AacFileWriter();
    AacFileWriter(const AacFileWriter&) = delete;
    AacFileWriter& operator=(const AacFileWriter&) = delete;

    // Appends interleaved float samples (settings().channels per frame, nominal range -1..1).
    // Throws WriteError when writing fails, std::runtime_error when encoding fails.
    void write(const float* interleaved, std::size_t frames);
    void writeSilence(std::size_t frames);

    // Encodes what is buffered, writes the index and closes the file. Idempotent, and nothing
    // after a WriteError. Throws WriteError when writing fails.
    void finish();
    // Closes and removes the file. Idempotent; also after finish().
    void cancel();

    const std::filesystem::path& path() const { return path_; }
    const AacSettings& settings() const { return settings_; }
    std::int64_t framesWritten() const { return framesIn_; }

private:
    void encodePending(bool last);
    void drain();
    void checkWritten(int ret, const char* what);
    void close();

    std::filesystem::path path_;
    AacSettings settings_;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVStream* stream_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    int frameFill_ = 0;
    std::int64_t framesIn_ = 0;
    std::int64_t nextPts_ = 0;
    std::int64_t durable_ = 0;  // bytes on disk that end with a complete fragment
    bool fragmentWritten_ = false;
    bool open_ = false;
};

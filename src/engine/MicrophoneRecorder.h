#pragma once
// Records the microphone (the sound server's default source) into an AAC .m4a file. The file's
// timeline starts when record() is called: if the source is slow to deliver its first samples,
// the gap is written as silence, so the file lines up with the (monotonic) time of that call.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>

#include "platform/AacFileWriter.h"
#include "platform/AudioInput.h"

struct RecorderSettings {
    // Four-character code "aac " (MPEG-4 AAC) as an unsigned 32-bit value.
    static constexpr std::uint32_t kFormatMPEG4AAC = 0x61616320;

    std::uint32_t formatID = kFormatMPEG4AAC;
    int sampleRate = 24000;
    int channels = 1;
    int bitRate = 48000;  // bits per second
};

class MicrophoneRecorder {
public:
    // Called once, on the sound server's thread, when writing the file fails; the file keeps
    // what was written before and no more audio goes to it.
    using WriteFailed = std::function<void(std::error_code)>;

    // Throws std::invalid_argument (with a message fit for the user) when the settings ask for
    // something this recorder cannot write. Touches neither the file nor the sound server.
    MicrophoneRecorder(std::filesystem::path url, RecorderSettings settings = {});
    // Stops and finishes the file if still recording.
    ~MicrophoneRecorder();
    MicrophoneRecorder(const MicrophoneRecorder&) = delete;
    MicrophoneRecorder& operator=(const MicrophoneRecorder&) = delete;

    // Starts recording into url(), replacing any file there. Throws std::runtime_error with a
    // message fit for the user (in the app's own words) when there is no microphone or no sound
    // server; nothing is left running and no file is left behind then. Does nothing while
    // already recording.
    void record(WriteFailed onWriteFailed = {});
    // Ends the recording and finishes the file. Idempotent; never throws.
    void stop();

    // Told on the sound server's thread when the microphone is lost while recording (the sound
    // server went away, the microphone was unplugged) and when it records again. Meanwhile the file gets silence, so that it
    // stays on the wall clock, also up to the stop when the microphone never comes back. Set
    // before record().
    void setConnectionWatch(AudioInput::ConnectionWatch watch) { watch_ = std::move(watch); }

    bool isRecording() const { return input_ != nullptr; }
    // The file's time zero: when record() began to record, on the monotonic clock.
    std::chrono::steady_clock::time_point startedAt() const { return recordCalledAt_; }
    // Whether the microphone delivers now (false while it is lost). Any thread.
    bool delivering() const;
    const std::filesystem::path& url() const { return url_; }
    const RecorderSettings& settings() const { return settings_; }

private:
    void receive(const float* interleaved, std::size_t frames,
                 std::chrono::steady_clock::time_point capturedAt);

    std::filesystem::path url_;
    RecorderSettings settings_;
    std::shared_ptr<AudioInput> input_;
    mutable std::mutex inputMutex_;  // input_ is read from other threads by delivering()
    std::unique_ptr<AacFileWriter> writer_;
    std::chrono::steady_clock::time_point recordCalledAt_;
    bool awaitingFirstBlock_ = false;
    WriteFailed onWriteFailed_;
    bool writeFailed_ = false;
    AudioInput::ConnectionWatch watch_;
};

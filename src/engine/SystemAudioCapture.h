#pragma once
// Records what the computer plays (the monitor of the sound server's default sink) into a
// companion AAC file while the microphone records, and afterwards mixes the two files on the
// monotonic clock. The monitor carries every stream, this application's own sounds included: where its
// start, stop or meeting-prompt cue sounds, silence is written in place of what the computer
// plays. Its other sounds (a notification's) are recorded like the desktop's own.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>

#include "platform/AacFileWriter.h"
#include "platform/AudioInput.h"

class SystemAudioCapture {
public:
    // On the monotonic clock: a change of the wall clock mid-recording must not move a track.
    using Timestamp = std::chrono::steady_clock::time_point;
    // Called once, on the sound server's thread, when writing the file fails; the file keeps
    // what was written before and no more audio goes to it.
    using WriteFailed = std::function<void(std::error_code)>;

    // The companion file: 48 kHz stereo at 96 kbit/s.
    static constexpr AacSettings kCaptureSettings{48000, 2, 96000};
    // The mix goes to the service; the microphone's format keeps uploads small.
    static constexpr AacSettings kMixSettings{24000, 1, 48000};

    SystemAudioCapture() = default;
    // Finishes a capture that is still running.
    ~SystemAudioCapture();
    SystemAudioCapture(const SystemAudioCapture&) = delete;
    SystemAudioCapture& operator=(const SystemAudioCapture&) = delete;

    // Starts capturing into `url`, replacing any file there, and returns once the sound server
    // has accepted the stream. Throws AudioError code 1 when there is no default sink or it has
    // no monitor (nothing is touched then), AudioError code 2 when the writer cannot start
    // without saying why, and otherwise the sound server's or the writer's own error. On any
    // throw nothing is left running and no half-written file is left at `url`.
    void start(const std::filesystem::path& url, WriteFailed onWriteFailed = {});

    // Ends the capture and closes the file. Returns its path when at least one block of audio
    // arrived; otherwise the empty file is removed and nullopt returned. Without a running
    // capture: nullopt at once. Never throws.
    std::optional<std::filesystem::path> stop();

    // Told on the sound server's thread when the capture is lost (the sound server went away)
    // and when it records again; the file gets silence meanwhile. Kept for every start().
    void setConnectionWatch(AudioInput::ConnectionWatch watch) { watch_ = std::move(watch); }

    // When the first sample in the companion file was heard; nullopt until audio is written.
    // Kept after stop() until the next start().
    std::optional<Timestamp> firstSampleAt() const;
    // Waits until `length` of audio has come from the sound server (it is written once its time
    // is known), or for `atMost`. Whether it has.
    bool waitForAudio(std::chrono::milliseconds length, std::chrono::milliseconds atMost) const;
    // Whether the capture has a stream that delivers now (false while it is lost).
    bool recording() const;
    // The file being written; nullopt while idle.
    std::optional<std::filesystem::path> outputURL() const;

    // Overlays `mic` and `system` on the clock: the one that started later is delayed by
    // the difference, the earlier begins at zero, both at full level. Writes `out` only when
    // the whole mix succeeded. Throws AudioError code 3 when either file holds no audio track,
    // and the decoder's or the file system's own error otherwise.
    static void mix(const std::filesystem::path& mic, Timestamp micStartedAt,
                    const std::filesystem::path& system, Timestamp systemStartedAt,
                    const std::filesystem::path& out);

private:
    void receive(const float* interleaved, std::size_t frames, Timestamp capturedAt);

    std::shared_ptr<AudioInput> input_;
    // The running capture's input, for waitForAudio() and recording() from other threads.
    mutable std::mutex inputMutex_;
    std::shared_ptr<AudioInput> running_;
    std::unique_ptr<AacFileWriter> writer_;
    std::atomic<bool> sessionStarted_{false};
    WriteFailed onWriteFailed_;
    AudioInput::ConnectionWatch watch_;
    bool writeFailed_ = false;  // the sound server's thread only, while capturing
    mutable std::mutex mutex_;  // guards the two fields below
    std::optional<Timestamp> firstSampleAt_;
    std::optional<std::filesystem::path> outputURL_;
};

#pragma once
// Records PCM from the sound server (PulseAudio, or PipeWire's PulseAudio server) with libpulse:
// either the microphone (the default source) or what the computer plays (the monitor of the
// default sink, followed when the default sink changes). Samples arrive as interleaved 32-bit
// floats on the input's own thread.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

struct pa_context;
struct pa_operation;
struct pa_sink_input_info;
struct pa_stream;
struct pa_threaded_mainloop;

class AudioInput {
public:
    enum class Device { microphone, computerOutput };

    class Error : public std::runtime_error {
    public:
        enum class Kind {
            server,               // the sound server cannot be reached; the text is libpulse's
            noDevice,             // no default source or sink, or the sink has no monitor
            monitorAsMicrophone,  // the default source only echoes a sink: there is no microphone
            stream,               // the server refused the recording stream; the text is libpulse's
        };
        Error(Kind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
        Kind kind() const { return kind_; }

    private:
        Kind kind_;
    };

    // Called for every block the server delivers, on the input's thread. `interleaved` is null
    // when the server reports a gap, or for what was recorded while this process's own sounds
    // played (see setSilencesOwnSounds); the block then stands for `frames` frames of silence.
    // `capturedAt` estimates the wall-clock time at which the block's first frame was heard,
    // from the server's own account of the stream's latency: a monitor's audio may reach the
    // recording before the sink plays it, or be held back after. Until the server has given an
    // account, what is still queued behind the block counts back from now.
    using Receiver = std::function<void(const float* interleaved, std::size_t frames,
                                        std::chrono::system_clock::time_point capturedAt)>;

    // `threadName` names the capture thread (at most 15 bytes are kept).
    explicit AudioInput(std::string threadName = "tavro-audio");
    ~AudioInput();
    AudioInput(const AudioInput&) = delete;
    AudioInput& operator=(const AudioInput&) = delete;

    // Connects to the server (never spawning one) and finds the device. Throws Error. The
    // server comes from the usual libpulse settings (PULSE_SERVER, client.conf).
    void open(Device device);
    // The server's name of the device recorded from: the one open() found, or the monitor of
    // the sink that became the default since.
    std::string sourceName() const;

    // Starts recording from the device found by open(), resampled by the server to
    // `sampleRate` and `channels`. Returns once the server has accepted the stream; throws
    // Error otherwise (the connection is then closed). Recording the computer's output, the
    // stream moves to the new default sink's monitor whenever the default sink changes (a
    // headset plugged in); the time the move took reaches the Receiver as a gap, so that the
    // blocks stay on the wall clock.
    void start(int sampleRate, int channels, Receiver receiver);

    // Recording the computer's output, with `on`: for as long as a stream that this process
    // plays is on the server (its own cues), what the device records is delivered as silence.
    // The server mixes every stream into the monitor, so silence is the only way to leave this
    // process's sounds out. A stream that stays longer is silenced for kLongestOwnSound only:
    // the app's cues are far shorter, and a stream that never ends must not blank the rest of
    // the meeting. Takes effect at the next start().
    void setSilencesOwnSounds(bool on) { silenceOwnSounds_ = on; }
    static constexpr std::chrono::seconds kLongestOwnSound{2};

    // Ends the stream and the connection. No Receiver call runs once it returns. Idempotent.
    void stop();

    // Why a running stream ended on its own ("Entity killed", "Connection terminated"); empty
    // while it runs or after a normal stop().
    std::string streamError() const;

private:
    static void onContextState(pa_context* c, void* self);
    static void onStreamState(pa_stream* s, void* self);
    static void onRead(pa_stream* s, std::size_t bytes, void* self);
    static void onMoved(pa_stream* s, void* self);
    static void onPlaybackInfo(pa_context* c, const pa_sink_input_info* info, int eol, void* self);

    using TimePoint = std::chrono::system_clock::time_point;
    void deliverQueued(pa_stream* s);
    // Hands one block to the Receiver, with the parts recorded while an own sound played
    // replaced by silence.
    void deliver(const float* interleaved, std::size_t frames, TimePoint capturedAt);
    void followDefaultSink();
    // A change on the server (a subscription event: facility and kind in `type`).
    void serverEvent(unsigned type, std::uint32_t index);
    void watchOwnSounds();
    void lookUpPlayback(pa_operation* op);
    void seenPlayback(std::uint32_t index, const char* processId);
    void playbackEnded(std::uint32_t index);

    void connect();
    std::string lastServerError() const;
    void setStreamError(const std::string& text);
    void waitFor(pa_operation* op);

    std::string threadName_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    Device device_ = Device::microphone;
    mutable std::mutex sourceMutex_;  // sourceName_ changes on the loop's thread
    std::string sourceName_;
    std::string followedSink_;  // the sink whose monitor is recorded (computer's output only)
    // End of the last block delivered, and whether the next one is the first after a move.
    std::chrono::system_clock::time_point deliveredUntil_;
    std::chrono::system_clock::time_point firstBlock_;  // the time of the first block delivered
    bool afterMove_ = false;
    Receiver receiver_;
    std::size_t frameBytes_ = 0;
    int sampleRate_ = 0;
    bool stopping_ = false;
    // This process's own sounds (loop thread only). A playing stream is silenced from when it
    // appeared; an ended one up to when it went, until the blocks have passed that time.
    struct OwnSound {
        TimePoint from;
        TimePoint to = TimePoint::max();
    };
    bool silenceOwnSounds_ = false;
    std::map<std::uint32_t, OwnSound> playing_;
    std::vector<OwnSound> ended_;
    std::map<std::uint32_t, TimePoint> appeared_;  // streams still being looked up
    // Whether the server's timing report taken once audio flowed is awaited or has come; the
    // blocks wait for it (loop thread only).
    enum class Timing { none, awaited, fresh };
    Timing timing_ = Timing::none;
    int lookups_ = 0;  // pending; the blocks wait in the server's buffer meanwhile
    mutable std::mutex errorMutex_;
    std::string streamError_;
};

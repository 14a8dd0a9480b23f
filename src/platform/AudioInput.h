#pragma once
// Records PCM from the sound server (PulseAudio, or PipeWire's PulseAudio server) with libpulse:
// either the microphone (the default source) or what the computer plays (the monitor of the
// default sink, followed when the default sink changes). Samples arrive as interleaved 32-bit
// floats on the input's own thread.
#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>

struct pa_context;
struct pa_operation;
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
    // when the server reports a gap; the block then stands for `frames` frames of silence.
    // `capturedAt` estimates the wall-clock time of the block's first frame: what is still
    // queued behind it counts back from now, so a late wake-up does not make audio look newer.
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

    void deliverQueued(pa_stream* s);
    void followDefaultSink();

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
    bool afterMove_ = false;
    Receiver receiver_;
    std::size_t frameBytes_ = 0;
    int sampleRate_ = 0;
    bool stopping_ = false;
    mutable std::mutex errorMutex_;
    std::string streamError_;
};

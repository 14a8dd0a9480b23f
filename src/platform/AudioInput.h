#pragma once
// Records PCM from the sound server (PulseAudio, or PipeWire's PulseAudio server) with libpulse:
// either the microphone (the default source) or what the computer plays (the monitor of the
// default sink, followed when the default sink changes). Samples arrive as interleaved 32-bit
// floats on the input's own thread.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/SoundFinder.h"
#include "platform/TrackPlacement.h"

struct pa_context;
struct pa_mainloop_api;
struct pa_operation;
struct pa_stream;
struct pa_threaded_mainloop;
struct pa_time_event;

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
    // when the server reports a gap, or for where one of this process's own sounds was recorded
    // (see setKeptOutSounds); the block then stands for `frames` frames of silence.
    // `capturedAt` estimates the wall-clock time at which the block's first frame was heard,
    // from the server's own account of the stream's latency: a monitor's audio may reach the
    // recording before the sink plays it, or be held back after. Until the server has given an
    // account, what is still queued behind the block counts back from now. Each block begins
    // where the one before ended: where the server's account of a monitor's block strays from
    // there (a sink that rewound, changed its latency or was left at a move), a gap comes as
    // silence and audio for a time already delivered is left out, so the blocks stay on the
    // wall clock as they are written one after another. A block goes out once the time it covers
    // has passed (a sink that renders ahead may still render it again), or at the stop.
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
    // blocks stay on the wall clock. When the stream ends on its own (the server restarts or
    // dies, the device goes away), the input looks for the server and the device again every
    // kRetryEvery, as open() found them (the default source, or the default sink's monitor), and
    // records on with a new stream; the time without one reaches the Receiver as a gap too.
    void start(int sampleRate, int channels, Receiver receiver);
    static constexpr std::chrono::milliseconds kRetryEvery{100};

    // Called on the input's thread when a started recording loses its stream (false), and when
    // audio from a new one goes out again (true). Takes effect at the next start().
    using ConnectionWatch = std::function<void(bool recording)>;
    void setConnectionWatch(ConnectionWatch watch) { watch_ = std::move(watch); }

    using TimePoint = std::chrono::system_clock::time_point;
    // A sound of this process that a recording of the computer's output leaves out: asked to
    // play at `requestedAt`, sounding like `shape` (mono, at the rate given to start()), and
    // done playing at `endedAt` (empty while it may still sound). `alike`: the other sounds it
    // could be taken for, each at that rate; its own start may be missing from the recording only
    // where none of them is heard.
    struct KeptOutSound {
        TimePoint requestedAt;
        std::shared_ptr<const std::vector<float>> shape;
        std::optional<TimePoint> endedAt;
        std::vector<std::shared_ptr<const std::vector<float>>> alike;
    };
    // Called on the input's thread before blocks go out: the sounds asked to play at `since` or
    // later.
    using KeptOutSounds = std::function<std::vector<KeptOutSound>(TimePoint since, int sampleRate)>;
    // Recording the computer's output: each such sound is looked for in the few seconds the
    // device records after its request (one asked for before start() only while it still sounds
    // then), and where it is found, that stretch is delivered as silence: the sound's length and
    // kKeptOutMargin on either side, kLongestOwnSound in all at most. The
    // server mixes every stream into the monitor, so silence is the only way to leave a sound out,
    // and only the recording itself says where the sound landed in it. Blocks wait while a sound
    // may still come. A sound that is not there (muted, played on another output) silences nothing.
    // Takes effect at the next start().
    void setKeptOutSounds(KeptOutSounds sounds) { keptOut_ = std::move(sounds); }
    static constexpr std::chrono::seconds kLongestOwnSound{2};
    static constexpr std::chrono::milliseconds kKeptOutMargin{15};

    // Ends the stream and the connection. What was heard up to the call is waited for first
    // (while blocks keep coming, a few seconds at most), blocks held back for a kept-out sound go
    // out, and a recording without a stream at the time gets silence up to now, so that what it
    // delivered is as long as the recording. No Receiver call runs once it returns. Idempotent.
    void stop();

    // Why a running stream last ended on its own ("Entity killed", "Connection terminated");
    // empty if it never did.
    std::string streamError() const;

private:
    static void onContextState(pa_context* c, void* self);
    static void onStreamState(pa_stream* s, void* self);
    static void onRead(pa_stream* s, std::size_t bytes, void* self);
    static void onMoved(pa_stream* s, void* self);
    static void onRetry(pa_mainloop_api* api, pa_time_event* e, const struct timeval* tv,
                        void* self);

    // A block held back while a kept-out sound may lie in it.
    struct Held {
        std::vector<float> samples;  // empty for silence
        std::size_t frames;
        TimePoint at;
        std::uint64_t first;  // the frame it begins with, counted from the start
    };
    // Where a kept-out sound may lie in the recording: frames [from, to) of the audio as it came,
    // and the held blocks from frame `held` of the track on, which wait for the search.
    struct Search {
        std::uint64_t from, to;
        std::uint64_t held;
        std::shared_ptr<const std::vector<float>> shape;
        std::vector<std::shared_ptr<const std::vector<float>>> alike;
    };

    // Drops a timing report still asked for: its answer would time the wrong stream.
    void cancelTimingUpdate();
    void deliverQueued(pa_stream* s);
    // Reads and delivers what the stream holds, timed by the server's last report.
    void deliverRead(pa_stream* s);
    // Takes a block heard from `heardAt` on, where the blocks before it end, or, when `byTime`
    // and its time lies beyond the tolerance from there, where its time says: after silence for
    // a gap, or replacing what is still held back for an overlap. `afterLoss`: the first block of
    // a new stream after the old one was lost, whose gap is time without a stream.
    void place(const float* interleaved, std::size_t frames, TimePoint heardAt, bool byTime,
               bool afterLoss);
    // Writes a later rendering over the held frames from `first` on.
    void replaceHeld(const float* interleaved, std::size_t frames, std::int64_t first);
    void followDefaultSink();
    // At a stop: waits, briefly, until what was heard up to now has been delivered.
    void awaitTheStop();
    // A change on the server (a subscription event: facility and kind in `type`).
    void serverEvent(unsigned type, std::uint32_t index);
    // Takes one block (null for silence) into the track: held while a kept-out sound may lie in
    // it.
    void take(const float* interleaved, std::size_t frames, TimePoint capturedAt);
    // Whether kept-out sounds are sought in this recording.
    bool seeking() const { return keptOut_ && device_ == Device::computerOutput; }
    // Starts a search for each kept-out sound asked for since the last look.
    void seekKeptOut();
    // Silences, in the held blocks, where frames [from, to) of the audio as it came went.
    void silenceRaw(std::uint64_t from, std::uint64_t to);
    // Looks for the sounds whose time is covered (all of them when `all`), and delivers the
    // blocks no search needs any more and whose time has passed (all of them when `all`).
    void release(bool all);
    void lookFor(const Search& search);
    // Makes frames [from, to) of the held block `block` silent, splitting it where needed.
    void silence(std::size_t block, std::size_t from, std::size_t to);

    void connect();
    void newContext();
    // Creates stream_ and asks the server to record sourceName() into it.
    void connectStream();
    // Recording the computer's output: moves the stream along with the default sink.
    void watchDefaults();
    // The started recording lost its stream: from now on it looks for a new one (loop thread).
    void lose();
    void retry();
    void scheduleRetry();
    void findDeviceAgain();
    void resume(const char* source);
    void dropStream();
    void dropContext();
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
    // The blocks taken, on the wall clock (loop thread only).
    TrackPlacement placement_{1, {}};
    // Whether each block goes where the server's report puts it. A monitor's audio is rendered by
    // its sink, which may render ahead and then rewind, change its latency, or be replaced at a
    // move. A microphone's data has no such breaks, and neither has a monitor's on PipeWire: they
    // go back to back from the first block, as the reports of some servers jump with their
    // processing period.
    bool placeByReport_ = false;
    Receiver receiver_;
    std::size_t frameBytes_ = 0;
    int sampleRate_ = 0;
    int channels_ = 0;
    bool stopping_ = false;
    // Reconnecting (loop thread only): whether start() succeeded, whether there is no stream
    // recording since, whether a new stream's first audio is awaited (and how many frames had
    // been laid down when the old one was lost), whether the next block is a new stream's first
    // (placed by its time whatever the device, so that the time without a stream becomes
    // silence), whether the device is being looked up, and the retry timer.
    bool running_ = false;
    bool lost_ = false;
    bool awaitingAudio_ = false;
    std::uint64_t lostAfter_ = 0;
    bool afterLoss_ = false;
    bool looking_ = false;
    pa_time_event* retry_ = nullptr;
    TimePoint startedAt_;  // when start() was called
    ConnectionWatch watch_;
    // Kept-out sounds (loop thread only): where each may lie, and the blocks held meanwhile.
    KeptOutSounds keptOut_;
    TimePoint askedSince_;
    std::vector<Search> searches_;
    // The kept-out sounds' finders, made once for the input (a capture makes one per recording):
    // making one costs more than a search. By the shape each finds, which it keeps.
    std::map<const std::vector<float>*,
             std::pair<std::shared_ptr<const std::vector<float>>, SoundFinder>>
        finders_;
    std::deque<Held> held_;
    std::uint64_t taken_ = 0;  // frames of the track so far
    // The audio as it came from the server, mono (the last of it, as the searches need), and
    // where each stretch of it went in the track; frames of it so far; and up to which frame a
    // sound found in it is still to come.
    struct Span {
        std::uint64_t raw;
        std::int64_t placed;
        std::size_t frames;
    };
    std::deque<float> raw_;
    std::deque<Span> spans_;
    std::uint64_t rawTaken_ = 0;
    std::uint64_t rawSilentUntil_ = 0;
    // Whether the server's timing report taken once audio flowed is awaited or has come; the
    // blocks wait for it (loop thread only).
    enum class Timing { none, awaited, fresh };
    Timing timing_ = Timing::none;
    pa_operation* timingUpdate_ = nullptr;  // the report awaited
    mutable std::mutex errorMutex_;
    std::string streamError_;
};

#pragma once
// Records PCM from the sound server (PulseAudio, or PipeWire's PulseAudio server) with libpulse:
// either the microphone (the default source) or what the computer plays (the monitor of the
// default sink, followed when the default sink changes). Samples arrive as interleaved 32-bit
// floats on the input's own thread.
#include <atomic>
#include <chrono>
#include <condition_variable>
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

    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    // Called for every block, on the input's thread. `interleaved` is null where the time has no
    // audio of the device's (no stream, or the server reported a gap), or for where one of this
    // process's own sounds was recorded (see setKeptOutSounds); the block then stands for `frames`
    // frames of silence. `capturedAt` is when the block's first frame was heard, on the monotonic
    // clock, so that a change of the wall clock or a suspend costs nothing.
    //
    // Every frame the server delivers goes out, one block after another: the frames counted since
    // the last anchor (the start, a move to another device, a new stream after a loss) are what
    // time them. The server's reports only say where such a stretch begins (the median of those of
    // its first moments, so the blocks wait until it is known) and take up a slow drift of the
    // device's clock against the monotonic one, by stretching or squeezing blocks a little. Where
    // a stretch begins after the track's end, silence fills the gap; where a device moved to
    // renders a time laid down already, its audio replaces what is still held back. A block goes
    // out once the time it covers has passed (a sink that renders ahead may still render it
    // again), or at the stop.
    using Receiver =
        std::function<void(const float* interleaved, std::size_t frames, TimePoint capturedAt)>;

    // `threadName` names the capture thread (at most 15 bytes are kept).
    explicit AudioInput(std::string threadName = "tavro-audio");
    ~AudioInput();
    AudioInput(const AudioInput&) = delete;
    AudioInput& operator=(const AudioInput&) = delete;

    // Connects to the server (never spawning one) and finds the device. Throws Error. The
    // server comes from the usual libpulse settings (PULSE_SERVER, client.conf).
    void open(Device device);
    // The server's name of the device recorded from: the one open() found, or the one recorded
    // since (the monitor of the sink that became the default, a microphone that came back).
    std::string sourceName() const;

    // Starts recording from the device found by open(), resampled by the server to
    // `sampleRate` and `channels`. Returns once the server has accepted the stream; throws
    // Error otherwise (the connection is then closed). Recording the computer's output, the
    // stream stays on the default sink's monitor: it moves along when the default sink changes (a
    // headset plugged in), and is moved back when the server puts it on another source (a
    // microphone plugged in). A microphone stream that the server moves onto a sink's monitor
    // (the microphone went away) has lost its device. When the stream ends on its own (the
    // server restarts or dies, the device goes away), the input looks for the server and the
    // device again every kRetryEvery (the default source, or any microphone while that is none;
    // the default sink's monitor) and records on with a new stream; the time without one reaches
    // the Receiver as a gap.
    void start(int sampleRate, int channels, Receiver receiver);
    static constexpr std::chrono::milliseconds kRetryEvery{100};

    // Why a started recording has no stream.
    enum class Loss {
        server,    // the sound server went away
        device,    // the device went away: no microphone, or no output to record
        stream,    // the server ended the stream while it runs (another program asked it to)
        delivery,  // what came could not be taken (Error or an exception of the Receiver)
    };
    // Called on the input's thread when a started recording loses its stream (false, and why;
    // again when more is known of why), and when audio from a new stream arrives (true). Takes
    // effect at the next start().
    using ConnectionWatch = std::function<void(bool recording, Loss why)>;
    void setConnectionWatch(ConnectionWatch watch) { watch_ = std::move(watch); }
    // Whether a started recording has a stream that delivers audio now. Any thread.
    bool recording() const { return recording_; }
    // Frames that arrived from the server since start(), before they are timed and delivered.
    // Waits until `frames` have, or for `atMost`; whether they have. Any thread.
    bool waitForArrival(std::uint64_t frames, std::chrono::milliseconds atMost) const;

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

    // Why a running stream last ended on its own ("Entity killed", "Connection terminated"), in
    // the server's words; empty if it never did.
    std::string streamError() const;

private:
    static void onContextState(pa_context* c, void* self);
    static void onStreamState(pa_stream* s, void* self);
    static void onRead(pa_stream* s, std::size_t bytes, void* self);
    static void onMoved(pa_stream* s, void* self);
    static void onSuspended(pa_stream* s, void* self);
    static void onLatencyUpdate(pa_stream* s, void* self);
    static void onRetry(pa_mainloop_api* api, pa_time_event* e, const struct timeval* tv,
                        void* self);
    static void onTick(pa_mainloop_api* api, pa_time_event* e, const struct timeval* tv,
                       void* self);

    // A block in the track, held back while a kept-out sound may lie in it or its time has not
    // passed.
    struct Held {
        enum class Kind { audio, zeros, gap };
        Kind kind;
        std::vector<float> samples;  // audio only
        std::size_t frames;
        TimePoint at;
        std::uint64_t first;  // the frame it begins with, counted from the start
    };
    // A block of a segment whose time is not known yet: null samples for a gap the server
    // reported.
    struct Pending {
        std::vector<float> samples;
        bool gap;
        std::size_t frames;
        std::uint64_t raw;  // its first frame in the audio as it came
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
    void requestTimingUpdate(pa_stream* s);
    // Reads what the stream holds and takes it into the track.
    void deliverRead(pa_stream* s);
    // What came from the server: `frames` frames (null `interleaved`: a gap it reported),
    // arrived at `arrivedAt` by the count of what is still queued behind them.
    void accept(const float* interleaved, std::size_t frames, TimePoint arrivedAt);
    // A new segment: `byTime` where the server's reports say where it goes.
    void anchor(bool byTime);
    // Settles the segment's time once enough reports came, or it waited long enough, or `now`.
    void settleWhenKnown(bool now);
    // Lays a block of the settled segment into the track.
    void place(const float* interleaved, bool gap, std::size_t frames, std::uint64_t raw);
    // Writes a later rendering over the held frames from `first` on.
    void replaceHeld(const float* interleaved, std::size_t frames, std::int64_t first);
    // Recording the computer's output: moves the stream to the default sink's monitor, where it
    // is not already; `force`: also when that sink was followed before.
    void followDefaultSink(bool force);
    // After a move: whether the stream's new source is one to record from.
    void checkSource(pa_stream* s);
    // What the stream holds came from a source not to record: it counts as a gap.
    void discardQueued();
    // At a stop: waits, briefly, until what was heard up to now has been delivered.
    void awaitTheStop();
    // A change on the server (a subscription event: facility and kind in `type`).
    void serverEvent(unsigned type, std::uint32_t index);
    // Takes one block into the track: held while a kept-out sound may lie in it.
    void take(Held::Kind kind, const float* interleaved, std::size_t frames, TimePoint at);
    // Silence for `frames` frames from `at`, in blocks of bounded size: a gap of any length.
    void takeSilence(Held::Kind kind, std::size_t frames, TimePoint at);
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
    void deliver(const Held& h);

    void connect();
    void newContext();
    // Creates stream_ and asks the server to record sourceName() into it.
    void connectStream();
    // Recording the computer's output: moves the stream along with the default sink.
    void watchDefaults();
    // The started recording lost its stream: from now on it looks for a new one (loop thread).
    void lose(Loss why);
    // More is known of why the stream was lost.
    void lostBecause(Loss why);
    void setRecording(bool recording);
    void retry();
    void scheduleRetry();
    void scheduleTick();
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
    // The blocks taken, on the monotonic clock (loop thread only).
    TrackPlacement placement_{1, {}};
    // Whether a move starts a segment placed by its reports. A monitor's audio is rendered by its
    // sink, which on PulseAudio may render ahead and leave that time out of the new device's
    // audio, or render it again there. A microphone's data has no such breaks, and neither has a
    // monitor's on PipeWire, whose reports move with its processing period: they go on back to
    // back.
    bool placeMovesByReport_ = false;
    Receiver receiver_;
    std::size_t frameBytes_ = 0;
    int sampleRate_ = 0;
    int channels_ = 0;
    bool stopping_ = false;
    // Reconnecting (loop thread only): whether start() succeeded, whether there is no stream
    // recording since and why, whether a new stream's first audio is awaited, whether the device
    // is being looked up, and the retry timer.
    bool running_ = false;
    bool lost_ = false;
    Loss lostBecause_ = Loss::server;
    bool awaitingAudio_ = false;
    bool looking_ = false;
    std::string preferredSource_;             // while looking for a microphone: the default
    std::optional<std::string> foundSource_;  // and the one found so far
    bool followForced_ = false;  // a move back to the default sink's monitor is asked for
    pa_time_event* retry_ = nullptr;
    // Every kTick while running: asks for reports while a segment settles, settles one that
    // waited long enough, and lets out held blocks whose time has passed.
    pa_time_event* tick_ = nullptr;
    // After a move, until the new source is known to be one to record from, nothing is read.
    bool checkingSource_ = false;
    TimePoint startedAt_;  // when start() was called
    ConnectionWatch watch_;
    std::atomic<bool> recording_{false};
    // The segment being timed (loop thread only): its frames so far, when its first came, the
    // blocks that wait for its time, and the report last used to time it.
    std::uint64_t segmentFrames_ = 0;
    std::optional<TimePoint> segmentFirstAt_;
    std::deque<Pending> pending_;
    TimePoint pendingFallback_;  // the first pending block's arrival
    bool lostBefore_ = false;    // the segment follows time without a stream
    std::uint64_t reportsSeen_ = 0;  // timing reports that arrived
    std::uint64_t reportUsed_ = 0;
    TimePoint reportAt_;  // when the last report was current, on the monotonic clock
    pa_operation* timingUpdate_ = nullptr;  // the report asked for
    // Frames arrived so far, for waitForArrival.
    mutable std::mutex arrivalMutex_;
    mutable std::condition_variable arrived_;
    std::uint64_t arrivedFrames_ = 0;
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
    std::uint64_t taken_ = 0;      // frames of the track so far
    std::uint64_t heldFrames_ = 0;  // of them in held_
    std::vector<float> zeros_;      // silence to deliver zeros from, a block at most
    // The audio as it came from the server, mono (the last of it, as the searches need), and
    // where each stretch of it went in the track; frames of it so far, and of them placed; and
    // the stretches of it a sound found there still covers where they are not placed yet.
    struct Span {
        std::uint64_t raw;
        std::int64_t placed;
        std::size_t frames;
    };
    std::deque<float> raw_;
    std::deque<Span> spans_;
    std::uint64_t rawTaken_ = 0;
    std::uint64_t rawPlaced_ = 0;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> silenceToCome_;
    mutable std::mutex errorMutex_;
    std::string streamError_;
};

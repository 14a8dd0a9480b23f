#include "platform/AudioInput.h"

#include "platform/SoundFinder.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <thread>
#include <utility>

namespace {

// Holds the mainloop lock for a scope; the callbacks run with it held.
class LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop* loop) : loop_(loop) {
        pa_threaded_mainloop_lock(loop_);
    }
    ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pa_threaded_mainloop* loop_;
};

struct ServerNames {
    std::string defaultSink;
    std::string defaultSource;
    std::string server;
};

struct SinkFacts {
    bool found = false;
    int error = 0;
    std::string monitor;
};

struct SourceFacts {
    bool found = false;
    int error = 0;
    bool isMonitor = false;
};

struct Query {
    pa_threaded_mainloop* loop;
    void* result;
};

using Clock = std::chrono::steady_clock;

// A block of samples this long keeps wake-ups rare while adding little latency.
constexpr pa_usec_t kFragmentUsec = 100 * 1000;
// How far a new segment's time may lie from where the track ends and still follow it back to
// back: the server's reports of a busy machine jitter by some 25 ms.
constexpr auto kPlacementTolerance = std::chrono::milliseconds(40);
// A segment's time is the median of its first reports; a server that gives none, or gives them
// slowly (an idle sink hands over its audio in bursts), is waited for this long at most.
constexpr auto kSettleAtMost = std::chrono::seconds(3);
constexpr auto kTick = std::chrono::milliseconds(50);
// Blocks are held back while a kept-out sound may lie in them, and until their time has passed;
// never more than this, whatever a report said of their time.
constexpr auto kMostHeld = std::chrono::seconds(8);
// Silence goes out in blocks of at most this, so that a gap of any length costs no memory.
constexpr std::size_t kSilenceBlock = 4800;
// How much audio after its request may hold a kept-out sound: a server whose speakers are idle
// renders seconds ahead.
constexpr auto kHeardWithin = std::chrono::milliseconds(3000);
// Sounds asked for this long before a start may still be heard in the recording.
constexpr auto kAskedBeforeStart = std::chrono::seconds(3);
// What was delivered last is kept this long, as the lead-in of a search.
constexpr auto kLookBack = std::chrono::milliseconds(250);
// The server hands over audio in blocks (kFragmentUsec) and may hold back what a sink could still
// rewind: at a stop, what was heard up to the stop is waited for, while blocks keep coming.
constexpr auto kLongestWaitAtStop = std::chrono::milliseconds(2500);
constexpr auto kSilentAtStop = std::chrono::milliseconds(400);
// Less of a sound than this in the recording cannot be told from other audio.
constexpr auto kShortestPart = std::chrono::milliseconds(30);
// A report whose round trip took longer than this is timed as if it had taken this long: the
// wall clock may have moved meanwhile.
constexpr auto kLongestTransport = std::chrono::milliseconds(50);

// How many frames at `sampleRate` a duration spans, rounded down.
template <class Duration>
std::int64_t durationToFrames(Duration d, int sampleRate) {
    return static_cast<std::int64_t>(std::chrono::duration<double>(d).count() * sampleRate);
}

Clock::duration framesToDuration(std::size_t frames, int sampleRate) {
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(frames) / sampleRate));
}

// When the first frame still unread in `s` was heard, from the server's last timing report, which
// was current at `reportAt`; nullopt without a usable one. The newest frame the server had queued
// then was heard the source's latency before the report; a monitor's sink plays its audio only the
// sink's latency after rendering it, which on an idle sink can be seconds. The raw report is used,
// not libpulse's interpolated clock: that clock is clamped at zero and kept monotonic, so right
// after the stream starts on a sink that renders far ahead it is up to a second off. libpulse
// counts what was read since the report into it.
std::optional<Clock::time_point> headHeardAt(pa_stream* s, std::size_t frameBytes, int sampleRate,
                                             Clock::time_point reportAt) {
    const pa_timing_info* t = pa_stream_get_timing_info(s);
    if (!t || t->read_index_corrupt || t->write_index_corrupt) return std::nullopt;
    using std::chrono::microseconds;
    // Frames between the newest the server had queued and the first still unread; negative once
    // more has been read than the report knew of.
    const std::int64_t behind =
        (t->write_index - t->read_index) / static_cast<std::int64_t>(frameBytes);
    return reportAt - microseconds(t->source_usec) + microseconds(t->sink_usec) -
           std::chrono::duration_cast<Clock::duration>(
               std::chrono::duration<double>(static_cast<double>(behind) / sampleRate));
}

// `frames` frames of `in` (interleaved, `channels` each) drawn out or pressed into `out`'s
// length, by linear interpolation: a few frames more or less are not heard.
void stretch(const float* in, std::size_t frames, std::size_t channels, std::vector<float>& out) {
    const std::size_t n = out.size() / channels;
    if (n == 0 || frames == 0) return;
    const double step = n > 1 ? static_cast<double>(frames - 1) / static_cast<double>(n - 1) : 0;
    for (std::size_t j = 0; j < n; ++j) {
        const double pos = static_cast<double>(j) * step;
        const auto i = std::min(static_cast<std::size_t>(pos), frames - 1);
        const auto next = std::min(i + 1, frames - 1);
        const auto w = static_cast<float>(pos - static_cast<double>(i));
        for (std::size_t c = 0; c < channels; ++c)
            out[j * channels + c] = in[i * channels + c] * (1 - w) + in[next * channels + c] * w;
    }
}

}  // namespace

AudioInput::AudioInput(std::string threadName) : threadName_(std::move(threadName)) {}

AudioInput::~AudioInput() {
    stop();
}

std::string AudioInput::lastServerError() const {
    return pa_strerror(context_ ? pa_context_errno(context_) : PA_ERR_CONNECTIONREFUSED);
}

void AudioInput::onContextState(pa_context* c, void* self) {
    auto* in = static_cast<AudioInput*>(self);
    const pa_context_state_t st = pa_context_get_state(c);
    if (!PA_CONTEXT_IS_GOOD(st) && !in->stopping_) {
        in->setStreamError(in->lastServerError());
        if (in->running_) {
            in->lose(Loss::server);
            in->lostBecause(Loss::server);  // the stream may have gone first, without a reason
        }
    }
    // A server that is back: the device is looked for at once, not at the next tick.
    if (st == PA_CONTEXT_READY && in->lost_ && !in->stopping_) in->retry();
    pa_threaded_mainloop_signal(in->loop_, 0);
}

void AudioInput::onStreamState(pa_stream* s, void* self) {
    auto* in = static_cast<AudioInput*>(self);
    const pa_stream_state_t st = pa_stream_get_state(s);
    if (!PA_STREAM_IS_GOOD(st) && !in->stopping_) {
        in->setStreamError(in->lastServerError());
        // Ended while the server runs: another program had it killed, or the device went (the
        // search for it says so).
        if (in->running_)
            in->lose(in->context_ && pa_context_get_state(in->context_) == PA_CONTEXT_READY
                         ? Loss::stream
                         : Loss::server);
    }
    if (st == PA_STREAM_READY && in->lost_ && !in->stopping_ && s == in->stream_) {
        in->lost_ = false;
        in->awaitingAudio_ = true;
        // The new stream's audio is placed by its own reports: the time without one is a gap.
        in->anchor(true);
        in->lostBefore_ = true;
        if (in->device_ == Device::computerOutput) in->watchDefaults();
    }
    pa_threaded_mainloop_signal(in->loop_, 0);
}

void AudioInput::onRetry(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
    static_cast<AudioInput*>(self)->retry();
}

void AudioInput::onTick(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
    auto* in = static_cast<AudioInput*>(self);
    if (in->stopping_ || !in->running_) return;
    in->scheduleTick();
    // The first reports of a segment are asked for here, not only as libpulse spaces them out.
    if (in->stream_ && !in->placement_.settled() && in->segmentFirstAt_ &&
        pa_stream_get_state(in->stream_) == PA_STREAM_READY)
        in->requestTimingUpdate(in->stream_);
    try {
        in->settleWhenKnown(false);
        in->release(false);
    } catch (const std::exception& e) {
        in->setStreamError(e.what());
        in->lose(Loss::delivery);
    }
}

void AudioInput::setRecording(bool recording) {
    recording_ = recording;
}

void AudioInput::lose(Loss why) {
    if (lost_) return;
    lost_ = true;
    lostBecause_ = why;
    setRecording(false);
    // Lost again before its audio came: the user heard of the first loss and nothing since.
    const bool told = std::exchange(awaitingAudio_, false);
    checkingSource_ = false;
    cancelTimingUpdate();
    // Nothing more of the old stream is read; what the server still held for it goes with it.
    // It is let go at the next retry: this may run in one of its own callbacks.
    if (stream_) {
        pa_stream_set_read_callback(stream_, nullptr, nullptr);
        if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) pa_stream_disconnect(stream_);
    }
    if (watch_ && !told) watch_(false, why);
    scheduleRetry();
}

void AudioInput::lostBecause(Loss why) {
    if (!lost_ || lostBecause_ == why) return;
    lostBecause_ = why;
    if (watch_) watch_(false, why);
}

namespace {

// A timer of the loop `kAfter` from now. The loop turns the wall-clock time into its monotonic
// one at once, so that a change of the wall clock later does not move it.
template <class Duration>
void restartTimer(pa_threaded_mainloop* loop, pa_time_event*& timer, Duration after,
                  pa_time_event_cb_t callback, void* self) {
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop);
    timeval at{};
    pa_timeval_add(pa_gettimeofday(&at),
                   std::chrono::duration_cast<std::chrono::microseconds>(after).count());
    if (timer)
        api->time_restart(timer, &at);
    else
        timer = api->time_new(api, &at, callback, self);
}

}  // namespace

void AudioInput::scheduleRetry() {
    restartTimer(loop_, retry_, kRetryEvery, &AudioInput::onRetry, this);
}

void AudioInput::scheduleTick() {
    restartTimer(loop_, tick_, kTick, &AudioInput::onTick, this);
}

// One step towards a new stream, every kRetryEvery while there is none: the dead stream and
// connection go, a new connection is made, and once it is ready the device is looked up again.
void AudioInput::retry() {
    if (stopping_ || !lost_) return;
    scheduleRetry();
    if (stream_) {
        if (pa_stream_get_state(stream_) == PA_STREAM_CREATING) return;  // on its way
        dropStream();
    }
    if (context_ && !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) dropContext();
    if (!context_) {
        try {
            newContext();
        } catch (const Error&) {
            dropContext();
        }
        return;
    }
    if (pa_context_get_state(context_) == PA_CONTEXT_READY && !looking_) findDeviceAgain();
}

// As open() finds the device, but without waiting: this runs on the loop's thread. A microphone
// is the default source where that is one, else any source that is no sink's monitor: the
// recording takes the next microphone that appears.
void AudioInput::findDeviceAgain() {
    looking_ = true;
    pa_operation* op = pa_context_get_server_info(
        context_,
        [](pa_context* c, const pa_server_info* info, void* self) {
            auto* in = static_cast<AudioInput*>(self);
            pa_operation* next = nullptr;
            if (info && in->device_ == Device::computerOutput) {
                if (!info->default_sink_name) {
                    in->lostBecause(Loss::device);
                } else {
                    next = pa_context_get_sink_info_by_name(
                        c, info->default_sink_name,
                        [](pa_context*, const pa_sink_info* sink, int eol, void* self) {
                            auto* in = static_cast<AudioInput*>(self);
                            if (eol != 0) in->looking_ = false;
                            if (eol < 0) in->lostBecause(Loss::device);
                            if (!sink || !sink->monitor_source_name || !in->lost_ || in->stream_)
                                return;
                            in->followedSink_ = sink->name;
                            in->resume(sink->monitor_source_name);
                        },
                        in);
                }
            } else if (info && in->device_ == Device::microphone) {
                // Kept in the input, not handed over: a dropped connection cancels the list
                // without a last answer.
                in->preferredSource_ = info->default_source_name ? info->default_source_name : "";
                in->foundSource_.reset();
                next = pa_context_get_source_info_list(
                    c,
                    [](pa_context*, const pa_source_info* source, int eol, void* self) {
                        auto* in = static_cast<AudioInput*>(self);
                        // A sink's monitor is no microphone (as in open()).
                        if (source && source->monitor_of_sink == PA_INVALID_INDEX &&
                            (!in->foundSource_ || source->name == in->preferredSource_))
                            in->foundSource_ = source->name;
                        if (eol == 0) return;
                        in->looking_ = false;
                        if (!in->foundSource_) {
                            if (eol > 0) in->lostBecause(Loss::device);
                            return;
                        }
                        if (in->lost_ && !in->stream_) in->resume(in->foundSource_->c_str());
                    },
                    in);
            }
            if (next)
                pa_operation_unref(next);
            else
                in->looking_ = false;  // nothing yet: the next tick asks again
        },
        this);
    if (op)
        pa_operation_unref(op);
    else
        looking_ = false;
}

void AudioInput::resume(const char* source) {
    {
        std::lock_guard lock(sourceMutex_);
        sourceName_ = source;
    }
    try {
        connectStream();
    } catch (const Error&) {
        dropStream();  // the next tick tries again
    }
}

void AudioInput::dropStream() {
    if (!stream_) return;
    cancelTimingUpdate();
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_moved_callback(stream_, nullptr, nullptr);
    pa_stream_set_suspended_callback(stream_, nullptr, nullptr);
    pa_stream_set_latency_update_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
}

void AudioInput::dropContext() {
    if (!context_) return;
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_set_subscribe_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
    // Its operations are cancelled without an answer.
    looking_ = false;
}

void AudioInput::onRead(pa_stream* s, std::size_t, void* self) {
    auto* in = static_cast<AudioInput*>(self);
    // Until a moved stream's new source is known to be right, its audio waits in the stream.
    if (in->checkingSource_ || s != in->stream_) return;
    // Recording again once the new stream's audio arrives: a sink that renders ahead may give
    // its monitor nothing for seconds after the stream is ready.
    if (in->awaitingAudio_ && pa_stream_readable_size(s) > 0) {
        in->awaitingAudio_ = false;
        in->setRecording(true);
        if (in->watch_) in->watch_(true, in->lostBecause_);
    }
    in->deliverRead(s);
}

void AudioInput::onLatencyUpdate(pa_stream* s, void* self) {
    auto* in = static_cast<AudioInput*>(self);
    const pa_timing_info* t = pa_stream_get_timing_info(s);
    if (!t) return;
    // The report was current half its round trip ago, whatever the wall clock says: it may have
    // been set meanwhile, and its time stamps are on it.
    const auto transport = std::min<Clock::duration>(std::chrono::microseconds(t->transport_usec),
                                                     kLongestTransport);
    in->reportAt_ = Clock::now() - transport;
    ++in->reportsSeen_;
}

void AudioInput::requestTimingUpdate(pa_stream* s) {
    if (timingUpdate_) return;
    timingUpdate_ = pa_stream_update_timing_info(
        s,
        [](pa_stream*, int, void* self) {
            auto* in = static_cast<AudioInput*>(self);
            pa_operation_unref(in->timingUpdate_);
            in->timingUpdate_ = nullptr;
        },
        this);
}

void AudioInput::deliverRead(pa_stream* s) {
    const auto now = Clock::now();
    // A report taken once the segment's audio flowed times it: one from before says nothing of
    // what the sink rendered since.
    if (reportsSeen_ != reportUsed_ && segmentFirstAt_ && reportAt_ >= *segmentFirstAt_) {
        reportUsed_ = reportsSeen_;
        if (const auto heard = headHeardAt(s, frameBytes_, sampleRate_, reportAt_))
            placement_.report(segmentFrames_, *heard);
    }
    try {
        std::size_t queued = pa_stream_readable_size(s) / frameBytes_;  // frames, this block on
        while (pa_stream_readable_size(s) > 0) {
            const void* data = nullptr;
            std::size_t bytes = 0;
            if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0) return;
            const std::size_t frames = bytes / frameBytes_;
            const bool first = !segmentFirstAt_;
            if (first) segmentFirstAt_ = now;
            // Taken before it is dropped, so that what cannot be taken is counted as lost.
            struct Drop {
                pa_stream* s;
                ~Drop() { pa_stream_drop(s); }
            } drop{s};
            // Null data: a gap the server reported, which counts as the time it stands for.
            if (receiver_ && frames > 0)
                accept(static_cast<const float*>(data), frames,
                       now - framesToDuration(queued, sampleRate_));
            queued -= std::min(queued, frames);
            // The segment's first reports are asked for as soon as its audio flows.
            if (first) requestTimingUpdate(s);
        }
        settleWhenKnown(false);
        release(false);
    } catch (const std::exception& e) {
        // Nothing may unwind into libpulse: the stream counts as lost, and the time until a new
        // one delivers is a gap.
        setStreamError(e.what());
        lose(Loss::delivery);
    }
}

void AudioInput::accept(const float* interleaved, std::size_t frames, TimePoint arrivedAt) {
    if (seeking()) seekKeptOut();
    const std::uint64_t raw = rawTaken_;
    if (seeking()) {
        const std::size_t channels = frameBytes_ / sizeof(float);
        for (std::size_t f = 0; f < frames; ++f) {
            float sum = 0;
            for (std::size_t c = 0; interleaved && c < channels; ++c)
                sum += interleaved[f * channels + c];
            raw_.push_back(sum / static_cast<float>(channels));
        }
    }
    rawTaken_ += frames;
    segmentFrames_ += frames;
    {
        std::lock_guard lock(arrivalMutex_);
        arrivedFrames_ += frames;
    }
    arrived_.notify_all();
    if (placement_.settled()) {
        place(interleaved, !interleaved, frames, raw);
        return;
    }
    // The segment's time is not known yet: its blocks wait, and the first one's arrival times it
    // should no report come.
    if (pending_.empty()) pendingFallback_ = arrivedAt;
    Pending p{{}, !interleaved, frames, raw};
    if (interleaved) p.samples.assign(interleaved, interleaved + frames * (frameBytes_ / sizeof(float)));
    pending_.push_back(std::move(p));
}

void AudioInput::anchor(bool byTime) {
    // What waits for the old segment's time goes first, timed by what is known of it.
    settleWhenKnown(true);
    placement_.anchor(byTime);
    segmentFrames_ = 0;
    segmentFirstAt_.reset();
    reportUsed_ = reportsSeen_;
}

void AudioInput::settleWhenKnown(bool now) {
    if (placement_.settled() || pending_.empty()) return;
    if (!now && placement_.reports() < TrackPlacement::kSettleReports &&
        !(segmentFirstAt_ && Clock::now() - *segmentFirstAt_ >= kSettleAtMost))
        return;
    const TrackPlacement::Start start = placement_.settle(pendingFallback_);
    // Time without a stream is a gap; a move's is silence the device recorded.
    if (start.silence > 0)
        takeSilence(lostBefore_ ? Held::Kind::gap : Held::Kind::zeros,
                    start.silence, start.silenceAt);
    lostBefore_ = false;
    std::deque<Pending> pending = std::move(pending_);
    pending_.clear();
    for (const Pending& p : pending)
        place(p.gap ? nullptr : p.samples.data(), p.gap, p.frames, p.raw);
}

void AudioInput::place(const float* interleaved, bool gap, std::size_t frames,
                       std::uint64_t raw) {
    const std::size_t channels = frameBytes_ / sizeof(float);
    const TrackPlacement::Step step = placement_.place(frames);
    // What was rendered later is what was heard: it replaces what is still held back, and what
    // went out already stays.
    if (step.overlap > 0) {
        if (!gap) replaceHeld(interleaved, step.overlap, step.overlapAt);
        if (seeking()) spans_.push_back({raw, step.overlapAt, step.overlap});
    }
    const std::size_t rest = frames - step.overlap;
    if (rest > 0) {
        const auto placed = static_cast<std::size_t>(static_cast<std::int64_t>(rest) + step.adjust);
        if (seeking())
            spans_.push_back({raw + step.overlap, static_cast<std::int64_t>(taken_),
                              std::min(rest, placed)});
        const float* from = gap ? nullptr : interleaved + step.overlap * channels;
        if (step.adjust != 0 && from) {
            std::vector<float> drawn(placed * channels);
            stretch(from, rest, channels, drawn);
            take(Held::Kind::audio, drawn.data(), placed, step.at);
        } else if (from) {
            take(Held::Kind::audio, from, placed, step.at);
        } else {
            takeSilence(Held::Kind::gap, placed, step.at);
        }
    }
    rawPlaced_ = raw + frames;
    // The rest of a sound found in audio that waited for its time.
    for (auto it = silenceToCome_.begin(); it != silenceToCome_.end();) {
        silenceRaw(std::max(it->first, raw), std::min(it->second, rawPlaced_));
        if (it->second <= rawPlaced_)
            it = silenceToCome_.erase(it);
        else
            ++it;
    }
}

void AudioInput::seekKeptOut() {
    for (const KeptOutSound& sound : keptOut_(askedSince_, sampleRate_)) {
        askedSince_ = std::max(askedSince_, sound.requestedAt + std::chrono::nanoseconds(1));
        if (!sound.shape || sound.shape->empty()) continue;
        // What ended before the recording began cannot be in it; sought all the same, it could be
        // taken for a sound of its kind that is.
        if (sound.endedAt && *sound.endedAt < startedAt_) continue;
        // A sound can only be in audio that the server renders after it was asked for: it is
        // sought in what comes from now on, as it came. It may land in any block still held, as
        // a sink that renders ahead renders that time again with the sound in it.
        searches_.push_back(
            {rawTaken_,
             rawTaken_ + static_cast<std::uint64_t>(durationToFrames(kHeardWithin, sampleRate_)) +
                 sound.shape->size(),
             held_.empty() ? taken_ : held_.front().first, sound.shape, sound.alike});
    }
}

void AudioInput::silenceRaw(std::uint64_t from, std::uint64_t to) {
    // Where those frames went in the track: from the first to the last, kLongestOwnSound at most.
    std::int64_t first = INT64_MAX, last = INT64_MIN;
    for (const Span& span : spans_) {
        const std::uint64_t a = std::max(from, span.raw), b = std::min(to, span.raw + span.frames);
        if (a >= b) continue;
        first = std::min(first, span.placed + static_cast<std::int64_t>(a - span.raw));
        last = std::max(last, span.placed + static_cast<std::int64_t>(b - span.raw));
    }
    const std::int64_t longest = durationToFrames(kLongestOwnSound, sampleRate_);
    last = std::min(last, first + longest);
    if (first >= last) return;
    // What lies before the held blocks went out already.
    for (std::size_t i = 0; i < held_.size(); ++i) {
        const Held& h = held_[i];
        const auto begin = static_cast<std::int64_t>(h.first);
        const auto end = begin + static_cast<std::int64_t>(h.frames);
        if (end <= first || begin >= last) continue;
        const std::size_t before = held_.size();
        silence(i, static_cast<std::size_t>(std::max(first, begin) - begin),
                static_cast<std::size_t>(std::min(last, end) - begin));
        i += held_.size() - before;  // past the parts it was split into
    }
}

void AudioInput::replaceHeld(const float* interleaved, std::size_t frames, std::int64_t first) {
    if (!interleaved) return;
    const auto channels = static_cast<std::int64_t>(frameBytes_ / sizeof(float));
    for (Held& h : held_) {
        // A silenced stretch stays silent: one of this process's sounds may lie there.
        if (h.kind != Held::Kind::audio) continue;
        const auto begin = static_cast<std::int64_t>(h.first);
        const std::int64_t from = std::max(begin, first);
        const std::int64_t to = std::min(begin + static_cast<std::int64_t>(h.frames),
                                         first + static_cast<std::int64_t>(frames));
        if (from < to)
            std::copy(interleaved + (from - first) * channels,
                      interleaved + (to - first) * channels,
                      h.samples.begin() + (from - begin) * channels);
    }
}

void AudioInput::take(Held::Kind kind, const float* interleaved, std::size_t frames,
                      TimePoint at) {
    const std::size_t channels = frameBytes_ / sizeof(float);
    Held block{kind, {}, frames, at, taken_};
    if (kind == Held::Kind::audio) block.samples.assign(interleaved, interleaved + frames * channels);
    held_.push_back(std::move(block));
    taken_ += frames;
    heldFrames_ += frames;
}

void AudioInput::takeSilence(Held::Kind kind, std::size_t frames, TimePoint at) {
    while (frames > 0) {
        const std::size_t n = std::min(frames, kSilenceBlock);
        take(kind, nullptr, n, at);
        at += framesToDuration(n, sampleRate_);
        frames -= n;
    }
}

void AudioInput::deliver(const Held& h) {
    switch (h.kind) {
        case Held::Kind::audio:
            receiver_(h.samples.data(), h.frames, h.at);
            break;
        case Held::Kind::gap:
            receiver_(nullptr, h.frames, h.at);
            break;
        case Held::Kind::zeros: {
            const std::size_t channels = frameBytes_ / sizeof(float);
            if (zeros_.size() < kSilenceBlock * channels) zeros_.assign(kSilenceBlock * channels, 0.0f);
            for (std::size_t done = 0; done < h.frames;) {
                const std::size_t n = std::min(h.frames - done, kSilenceBlock);
                receiver_(zeros_.data(), n, h.at + framesToDuration(done, sampleRate_));
                done += n;
            }
            break;
        }
    }
}

void AudioInput::release(bool all) {
    for (auto it = searches_.begin(); it != searches_.end();) {
        if (all || rawTaken_ >= it->to) {
            lookFor(*it);
            it = searches_.erase(it);
        } else {
            ++it;
        }
    }
    std::uint64_t neededFrom = UINT64_MAX;
    for (const Search& search : searches_) neededFrom = std::min(neededFrom, search.held);
    // A sink that renders ahead may render what it has not played yet again, with a new stream
    // mixed in: a block goes out once the time it covers has passed, so that such a rendering
    // replaces the whole of what it overlaps. Replacing only part of it would splice the new
    // stream in mid-sound, an onset that the finder can take for one of this process's sounds.
    // Whatever waits, no more than kMostHeld of it is kept.
    const auto now = Clock::now();
    const auto most = static_cast<std::uint64_t>(durationToFrames(kMostHeld, sampleRate_));
    while (!held_.empty()) {
        const Held& h = held_.front();
        const bool due = h.first + h.frames <= neededFrom &&
                         h.at + framesToDuration(h.frames, sampleRate_) <= now;
        if (!all && !due && heldFrames_ <= most) break;
        heldFrames_ -= h.frames;
        const Held out = std::move(held_.front());
        held_.pop_front();
        deliver(out);
    }
    // What the searches still need of the audio as it came, and the lead-in of the next.
    const auto lookBack = static_cast<std::uint64_t>(durationToFrames(kLookBack, sampleRate_));
    std::uint64_t keepFrom = rawTaken_;
    for (const Search& search : searches_) keepFrom = std::min(keepFrom, search.from);
    keepFrom -= std::min(keepFrom, lookBack);
    const std::uint64_t rawFirst = rawTaken_ - raw_.size();
    if (keepFrom > rawFirst)
        raw_.erase(raw_.begin(), raw_.begin() + static_cast<std::ptrdiff_t>(
                                                    std::min<std::uint64_t>(keepFrom - rawFirst, raw_.size())));
    while (!spans_.empty() && spans_.front().raw + spans_.front().frames <= keepFrom)
        spans_.pop_front();
}

void AudioInput::silence(std::size_t block, std::size_t from, std::size_t to) {
    Held& h = held_[block];
    if (h.kind != Held::Kind::audio || from >= to) return;
    const std::size_t channels = frameBytes_ / sizeof(float);
    // Split into what comes before, the silence, and what comes after.
    const auto part = [&](std::size_t a, std::size_t b) {
        const bool silenced = a == from && b == to;
        Held p{silenced ? Held::Kind::gap : Held::Kind::audio, {}, b - a,
               h.at + framesToDuration(a, sampleRate_), h.first + a};
        if (!silenced)
            p.samples.assign(h.samples.begin() + static_cast<std::ptrdiff_t>(a * channels),
                             h.samples.begin() + static_cast<std::ptrdiff_t>(b * channels));
        return p;
    };
    std::vector<Held> parts;
    if (from > 0) parts.push_back(part(0, from));
    parts.push_back(part(from, to));
    if (to < h.frames) parts.push_back(part(to, h.frames));
    const auto at = held_.erase(held_.begin() + static_cast<std::ptrdiff_t>(block));
    held_.insert(at, std::make_move_iterator(parts.begin()), std::make_move_iterator(parts.end()));
}

void AudioInput::lookFor(const Search& search) {
    // The audio as it came from the search's start to its end, after a lead-in: a sound is
    // sought where it may be, but never at the edge, where a part of it is hard to tell. Where the
    // track was moved to the clock, the sound is still whole in it.
    const auto lookBack = static_cast<std::uint64_t>(durationToFrames(kLookBack, sampleRate_));
    const std::uint64_t rawFirst = rawTaken_ - raw_.size();
    const std::uint64_t from = std::max(rawFirst, search.from - std::min(search.from, lookBack));
    const std::uint64_t to = std::min(rawTaken_, search.to);
    if (from >= to) return;
    const std::vector<float> mono(raw_.begin() + static_cast<std::ptrdiff_t>(from - rawFirst),
                                  raw_.begin() + static_cast<std::ptrdiff_t>(to - rawFirst));
    const auto finderOf = [this](const std::shared_ptr<const std::vector<float>>& shape) {
        auto it = finders_.find(shape.get());
        if (it == finders_.end())
            it = finders_.emplace(shape.get(), std::pair(shape, SoundFinder(*shape))).first;
        return it->second.second;  // a copy shares what the finder made
    };
    const SoundFinder finder = finderOf(search.shape);
    const auto frames = [this](std::chrono::milliseconds t) {
        return static_cast<std::ptrdiff_t>(durationToFrames(t, sampleRate_));
    };
    std::vector<SoundFinder> alike;  // the finder passes over its own sound among them
    for (const auto& shape : search.alike)
        if (shape) alike.push_back(finderOf(shape));
    const auto found = finder.find(
        mono, std::min(static_cast<std::size_t>(frames(kShortestPart)), finder.length()), alike);
    if (!found) return;
    // The sound and its margins, kLongestOwnSound at most; what is not laid into the track yet is
    // silenced as it comes.
    const std::ptrdiff_t length =
        std::min(static_cast<std::ptrdiff_t>(finder.length()) + 2 * frames(kKeptOutMargin),
                 frames(kLongestOwnSound));
    const std::ptrdiff_t begin =
        static_cast<std::ptrdiff_t>(from) + *found - frames(kKeptOutMargin);
    const auto first = static_cast<std::uint64_t>(std::max<std::ptrdiff_t>(0, begin));
    const auto last = static_cast<std::uint64_t>(std::max<std::ptrdiff_t>(0, begin + length));
    silenceRaw(first, std::min(last, rawPlaced_));
    if (last > rawPlaced_) silenceToCome_.emplace_back(std::max(first, rawPlaced_), last);
}

void AudioInput::onMoved(pa_stream* s, void* self) {
    auto* in = static_cast<AudioInput*>(self);
    if (s != in->stream_) return;
    // What is still queued came from the old device: it goes first, unless that one was not
    // known to be right either.
    if (in->checkingSource_)
        in->discardQueued();
    else
        in->deliverRead(s);
    in->cancelTimingUpdate();
    // A monitor's new sink may have rendered ahead or left time out: on such a server its audio
    // is placed by its own reports. Elsewhere it follows back to back, timed afresh.
    in->anchor(in->placeMovesByReport_ && in->device_ == Device::computerOutput);
    // Nothing is read until the new source is known to be one to record from.
    in->checkingSource_ = true;
    in->checkSource(s);
}

void AudioInput::checkSource(pa_stream* s) {
    const char* name = pa_stream_get_device_name(s);
    pa_operation* op = pa_context_get_source_info_by_name(
        context_, name ? name : "",
        [](pa_context*, const pa_source_info* source, int eol, void* self) {
            auto* in = static_cast<AudioInput*>(self);
            if (!in->checkingSource_ || !in->stream_ || in->stopping_) return;
            if (!source && eol == 0) return;
            const bool monitor = source && source->monitor_of_sink != PA_INVALID_INDEX;
            if (in->device_ == Device::microphone) {
                if (!source || monitor) {
                    // The microphone went away and the server put a sink's monitor in its place:
                    // recording that would record the speakers as the user.
                    in->lose(Loss::device);
                    in->lostBecause(Loss::device);
                    return;
                }
                std::lock_guard lock(in->sourceMutex_);
                in->sourceName_ = source->name;
            } else if (!monitor) {
                // The server put the computer's capture on a microphone (one was plugged in): it
                // goes back to the default output's monitor, and what came meanwhile is a gap.
                in->followDefaultSink(true);
                in->discardQueued();
                return;
            } else {
                std::lock_guard lock(in->sourceMutex_);
                in->sourceName_ = source->name;
            }
            in->checkingSource_ = false;
            if (pa_stream_readable_size(in->stream_) > 0) onRead(in->stream_, 0, in);
        },
        this);
    if (op)
        pa_operation_unref(op);
    else
        checkingSource_ = false;
}

void AudioInput::discardQueued() {
    std::size_t dropped = 0;
    while (stream_ && pa_stream_readable_size(stream_) > 0) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(stream_, &data, &bytes) < 0) break;
        dropped += bytes / frameBytes_;
        pa_stream_drop(stream_);
    }
    if (dropped == 0 || !receiver_) return;
    if (!segmentFirstAt_) segmentFirstAt_ = Clock::now();
    accept(nullptr, dropped, Clock::now() - framesToDuration(dropped, sampleRate_));
}

void AudioInput::onSuspended(pa_stream* s, void* self) {
    auto* in = static_cast<AudioInput*>(self);
    if (s != in->stream_ || pa_stream_is_suspended(s) == 1) return;
    // A device that was suspended delivered nothing meanwhile: its audio goes on where its
    // reports put it.
    in->anchor(true);
}

void AudioInput::cancelTimingUpdate() {
    if (!timingUpdate_) return;
    pa_operation_cancel(timingUpdate_);
    pa_operation_unref(timingUpdate_);
    timingUpdate_ = nullptr;
}

void AudioInput::awaitTheStop() {
    const auto stopAt = Clock::now();
    const auto deadline = stopAt + kLongestWaitAtStop;
    std::uint64_t arrived = UINT64_MAX;
    auto lastBlock = Clock::now();
    for (;;) {
        {
            LoopLock lock(loop_);
            // Only a stream that delivers is waited for.
            if (!stream_ || !receiver_ || pa_stream_get_state(stream_) != PA_STREAM_READY ||
                checkingSource_ || !segmentFirstAt_ ||
                placement_.frontier(segmentFrames_, pendingFallback_) >= stopAt)
                return;
        }
        std::uint64_t now;
        {
            std::lock_guard lock(arrivalMutex_);
            now = arrivedFrames_;
        }
        if (now != arrived) lastBlock = Clock::now();
        arrived = now;
        const auto t = Clock::now();
        if (t >= deadline || t - lastBlock > kSilentAtStop) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool AudioInput::waitForArrival(std::uint64_t frames, std::chrono::milliseconds atMost) const {
    std::unique_lock lock(arrivalMutex_);
    return arrived_.wait_for(lock, atMost, [&] { return arrivedFrames_ >= frames; });
}

std::string AudioInput::sourceName() const {
    std::lock_guard lock(sourceMutex_);
    return sourceName_;
}

// Runs on the loop's thread whenever the server's defaults may have changed; every step is
// asynchronous, as a callback must not wait for the server.
void AudioInput::followDefaultSink(bool force) {
    // Kept in the input, not handed over: a dropped connection cancels the question unanswered.
    followForced_ = followForced_ || force;
    pa_operation* op = pa_context_get_server_info(
        context_,
        [](pa_context* c, const pa_server_info* info, void* self) {
            auto* in = static_cast<AudioInput*>(self);
            const bool force = std::exchange(in->followForced_, false);
            if (!info || !info->default_sink_name || !in->stream_ ||
                (!force && in->followedSink_ == info->default_sink_name))
                return;
            pa_operation* sinkOp = pa_context_get_sink_info_by_name(
                c, info->default_sink_name,
                [](pa_context* c, const pa_sink_info* sink, int, void* self) {
                    auto* in = static_cast<AudioInput*>(self);
                    if (!sink || !sink->monitor_source_name || !in->stream_) return;
                    in->followedSink_ = sink->name;
                    {
                        std::lock_guard lock(in->sourceMutex_);
                        in->sourceName_ = sink->monitor_source_name;
                    }
                    const char* now = pa_stream_get_device_name(in->stream_);
                    if (now && std::string(now) == sink->monitor_source_name) return;
                    // A refused move leaves the stream where it is; there is nothing better.
                    if (pa_operation* moveOp = pa_context_move_source_output_by_name(
                            c, pa_stream_get_index(in->stream_), sink->monitor_source_name, nullptr,
                            nullptr))
                        pa_operation_unref(moveOp);
                },
                in);
            if (sinkOp) pa_operation_unref(sinkOp);
        },
        this);
    if (op) pa_operation_unref(op);
}

void AudioInput::serverEvent(unsigned type, std::uint32_t) {
    if ((type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) == PA_SUBSCRIPTION_EVENT_SERVER)
        followDefaultSink(false);
}

void AudioInput::setStreamError(const std::string& text) {
    std::lock_guard lock(errorMutex_);
    if (streamError_.empty()) streamError_ = text;
}

std::string AudioInput::streamError() const {
    std::lock_guard lock(errorMutex_);
    return streamError_;
}

void AudioInput::waitFor(pa_operation* op) {
    if (!op) throw Error(Error::Kind::server, lastServerError());
    while (pa_operation_get_state(op) == PA_OPERATION_RUNNING) pa_threaded_mainloop_wait(loop_);
    pa_operation_unref(op);
}

void AudioInput::newContext() {
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "TAVRO");
    if (!context_) throw Error(Error::Kind::server, "cannot create the sound server context");
    pa_context_set_state_callback(context_, &AudioInput::onContextState, this);
    // Never autospawn: a missing server must fail, not start a private daemon.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        throw Error(Error::Kind::server, lastServerError());
}

void AudioInput::connect() {
    loop_ = pa_threaded_mainloop_new();
    if (!loop_) throw Error(Error::Kind::server, "cannot create the sound server loop");
    pa_threaded_mainloop_set_name(loop_, threadName_.substr(0, 15).c_str());
    newContext();
    if (pa_threaded_mainloop_start(loop_) < 0)
        throw Error(Error::Kind::server, "cannot start the sound server loop");
    LoopLock lock(loop_);
    for (;;) {
        const pa_context_state_t st = pa_context_get_state(context_);
        if (st == PA_CONTEXT_READY) return;
        if (!PA_CONTEXT_IS_GOOD(st)) throw Error(Error::Kind::server, lastServerError());
        pa_threaded_mainloop_wait(loop_);
    }
}

void AudioInput::open(Device device) {
    stop();
    stopping_ = false;
    running_ = lost_ = looking_ = awaitingAudio_ = checkingSource_ = false;
    device_ = device;
    followedSink_.clear();
    placeMovesByReport_ = false;
    {
        std::lock_guard lock(errorMutex_);
        streamError_.clear();
    }
    try {
        connect();
        LoopLock lock(loop_);

        ServerNames names;
        Query q{loop_, &names};
        waitFor(pa_context_get_server_info(
            context_,
            [](pa_context*, const pa_server_info* info, void* user) {
                auto* q = static_cast<Query*>(user);
                auto* n = static_cast<ServerNames*>(q->result);
                if (info && info->default_sink_name) n->defaultSink = info->default_sink_name;
                if (info && info->default_source_name) n->defaultSource = info->default_source_name;
                if (info && info->server_name) n->server = info->server_name;
                pa_threaded_mainloop_signal(q->loop, 0);
            },
            &q));

        if (device == Device::computerOutput) {
            // Looked up by name: PipeWire does not resolve "@DEFAULT_MONITOR@".
            if (names.defaultSink.empty()) throw Error(Error::Kind::noDevice, "no default sink");
            SinkFacts sink;
            Query sq{loop_, &sink};
            waitFor(pa_context_get_sink_info_by_name(
                context_, names.defaultSink.c_str(),
                [](pa_context* c, const pa_sink_info* info, int eol, void* user) {
                    auto* q = static_cast<Query*>(user);
                    auto* f = static_cast<SinkFacts*>(q->result);
                    if (eol < 0) f->error = pa_context_errno(c);
                    if (info) {
                        f->found = true;
                        if (info->monitor_source_name) f->monitor = info->monitor_source_name;
                    }
                    if (eol != 0) pa_threaded_mainloop_signal(q->loop, 0);
                },
                &sq));
            if (!sink.found || sink.monitor.empty())
                throw Error(Error::Kind::noDevice, "the default sink has no monitor source");
            followedSink_ = names.defaultSink;
            // PipeWire's sinks neither render ahead nor rewind, so its monitors' data has no
            // breaks, while its reports move with its processing period (tens of milliseconds).
            placeMovesByReport_ = names.server.find("PipeWire") == std::string::npos;
            std::lock_guard sourceLock(sourceMutex_);
            sourceName_ = sink.monitor;
        } else {
            if (names.defaultSource.empty())
                throw Error(Error::Kind::noDevice, "no default source");
            SourceFacts source;
            Query sq{loop_, &source};
            waitFor(pa_context_get_source_info_by_name(
                context_, names.defaultSource.c_str(),
                [](pa_context* c, const pa_source_info* info, int eol, void* user) {
                    auto* q = static_cast<Query*>(user);
                    auto* f = static_cast<SourceFacts*>(q->result);
                    if (eol < 0) f->error = pa_context_errno(c);
                    if (info) {
                        f->found = true;
                        f->isMonitor = info->monitor_of_sink != PA_INVALID_INDEX;
                    }
                    if (eol != 0) pa_threaded_mainloop_signal(q->loop, 0);
                },
                &sq));
            if (!source.found) throw Error(Error::Kind::noDevice, "no default source");
            // Without a real microphone the server may offer a sink's monitor as the default
            // source; recording it would capture the speakers as the "microphone".
            if (source.isMonitor)
                throw Error(Error::Kind::monitorAsMicrophone,
                            "the default source is a monitor of a sink, not a microphone");
            std::lock_guard sourceLock(sourceMutex_);
            sourceName_ = names.defaultSource;
        }
    } catch (...) {
        stop();
        throw;
    }
}

void AudioInput::start(int sampleRate, int channels, Receiver receiver) {
    if (!context_) throw Error(Error::Kind::noDevice, "no device opened");
    if (stream_) throw Error(Error::Kind::stream, "already recording");
    try {
        LoopLock lock(loop_);
        pa_sample_spec sampleFormat{};
        sampleFormat.format = PA_SAMPLE_FLOAT32NE;
        sampleFormat.rate = static_cast<std::uint32_t>(sampleRate);
        sampleFormat.channels = static_cast<std::uint8_t>(channels);
        if (!pa_sample_spec_valid(&sampleFormat))
            throw Error(Error::Kind::stream, "unsupported sample format");
        frameBytes_ = pa_frame_size(&sampleFormat);
        sampleRate_ = sampleRate;
        channels_ = channels;
        placement_ = TrackPlacement(sampleRate, kPlacementTolerance);
        receiver_ = std::move(receiver);
        searches_.clear();
        held_.clear();
        pending_.clear();
        raw_.clear();
        spans_.clear();
        silenceToCome_.clear();
        rawTaken_ = rawPlaced_ = 0;
        taken_ = heldFrames_ = 0;
        segmentFrames_ = 0;
        segmentFirstAt_.reset();
        lostBefore_ = false;
        {
            std::lock_guard arrival(arrivalMutex_);
            arrivedFrames_ = 0;
        }
        startedAt_ = Clock::now();
        askedSince_ = startedAt_ - kAskedBeforeStart;

        connectStream();
        for (;;) {
            const pa_stream_state_t st = pa_stream_get_state(stream_);
            if (st == PA_STREAM_READY) break;
            if (!PA_STREAM_IS_GOOD(st)) throw Error(Error::Kind::stream, lastServerError());
            pa_threaded_mainloop_wait(loop_);
        }
        if (device_ == Device::computerOutput) watchDefaults();
        running_ = true;
        setRecording(true);
        scheduleTick();
    } catch (...) {
        stop();
        throw;
    }
}

void AudioInput::connectStream() {
    pa_sample_spec sampleFormat{};
    sampleFormat.format = PA_SAMPLE_FLOAT32NE;
    sampleFormat.rate = static_cast<std::uint32_t>(sampleRate_);
    sampleFormat.channels = static_cast<std::uint8_t>(channels_);
    pa_channel_map map;
    pa_channel_map_init_extend(&map, sampleFormat.channels, PA_CHANNEL_MAP_DEFAULT);
    stream_ = pa_stream_new(context_, "TAVRO recording", &sampleFormat, &map);
    if (!stream_) throw Error(Error::Kind::stream, lastServerError());
    pa_stream_set_state_callback(stream_, &AudioInput::onStreamState, this);
    pa_stream_set_read_callback(stream_, &AudioInput::onRead, this);
    pa_stream_set_moved_callback(stream_, &AudioInput::onMoved, this);
    pa_stream_set_suspended_callback(stream_, &AudioInput::onSuspended, this);
    pa_stream_set_latency_update_callback(stream_, &AudioInput::onLatencyUpdate, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentUsec, &sampleFormat));
    // The server reports the stream's timing as it goes (deliverRead).
    if (pa_stream_connect_record(stream_, sourceName().c_str(), &attr,
                                 static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                                PA_STREAM_AUTO_TIMING_UPDATE)) < 0)
        throw Error(Error::Kind::stream, lastServerError());
}

void AudioInput::watchDefaults() {
    pa_context_set_subscribe_callback(
        context_,
        [](pa_context*, pa_subscription_event_type_t type, std::uint32_t index, void* self) {
            static_cast<AudioInput*>(self)->serverEvent(type, index);
        },
        this);
    if (pa_operation* op =
            pa_context_subscribe(context_, PA_SUBSCRIPTION_MASK_SERVER, nullptr, nullptr))
        pa_operation_unref(op);
    // The default may have changed since open() looked.
    followDefaultSink(false);
}

void AudioInput::stop() {
    if (!loop_) return;
    awaitTheStop();
    {
        LoopLock lock(loop_);
        stopping_ = true;
        cancelTimingUpdate();
        if (running_ && receiver_) {
            try {
                // What the server delivered last goes out too, also while its time is not known.
                if (stream_ && !checkingSource_ && pa_stream_get_state(stream_) == PA_STREAM_READY)
                    deliverRead(stream_);
                settleWhenKnown(true);
                // Without a stream since it was lost, the rest of the recording is silence.
                if (lost_ || awaitingAudio_) {
                    const TimePoint from = placement_.started() ? placement_.end() : startedAt_;
                    const auto missing = Clock::now() - from;
                    if (missing > Clock::duration::zero())
                        takeSilence(Held::Kind::gap,
                                    static_cast<std::size_t>(durationToFrames(missing, sampleRate_)),
                                    from);
                }
                // What waits for a sound that may still come goes out as it is.
                release(true);
            } catch (const std::exception& e) {
                setStreamError(e.what());
            }
        }
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
        for (pa_time_event** timer : {&retry_, &tick_})
            if (*timer) {
                api->time_free(*timer);
                *timer = nullptr;
            }
        dropStream();
        dropContext();
        running_ = lost_ = awaitingAudio_ = checkingSource_ = false;
        setRecording(false);
    }
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
    receiver_ = nullptr;
}

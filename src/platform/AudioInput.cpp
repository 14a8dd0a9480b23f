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

// A block of samples this long keeps wake-ups rare while adding little latency.
constexpr pa_usec_t kFragmentUsec = 100 * 1000;
// How far a block's reported time may stray from where the blocks before it end before the track
// follows it: the server's reports jitter by some 25 ms on a busy machine, and may wander by up
// to twice as much for a while, which is followed only once a later report confirms it.
constexpr auto kPlacementTolerance = std::chrono::milliseconds(40);
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

// How many frames at `sampleRate` a duration spans, rounded down.
template <class Duration>
std::int64_t durationToFrames(Duration d, int sampleRate) {
    return static_cast<std::int64_t>(std::chrono::duration<double>(d).count() * sampleRate);
}

std::chrono::system_clock::duration framesToDuration(std::size_t frames, int sampleRate) {
    return std::chrono::duration_cast<std::chrono::system_clock::duration>(
        std::chrono::duration<double>(static_cast<double>(frames) / sampleRate));
}

// When the server took its last timing report of `s`, or nullopt before there is one.
std::optional<std::chrono::system_clock::time_point> reportTakenAt(pa_stream* s) {
    const pa_timing_info* t = pa_stream_get_timing_info(s);
    if (!t) return std::nullopt;
    return std::chrono::system_clock::time_point{std::chrono::seconds(t->timestamp.tv_sec) +
                                                 std::chrono::microseconds(t->timestamp.tv_usec)};
}

// When the first frame still queued in `s` was heard, from the server's last timing report, or
// nullopt before there is one. The newest frame the server had queued then was heard the
// source's latency before the report; a monitor's sink plays its audio only the sink's latency
// after rendering it, which on an idle sink can be seconds. The raw report is used, not
// libpulse's interpolated clock: that clock is clamped at zero and kept monotonic, so right after
// the stream starts on a sink that renders far ahead it places the first blocks up to a second
// off.
std::optional<std::chrono::system_clock::time_point> headHeardAt(pa_stream* s,
                                                                 std::size_t frameBytes,
                                                                 int sampleRate) {
    const pa_timing_info* t = pa_stream_get_timing_info(s);
    if (!t || t->read_index_corrupt || t->write_index_corrupt) return std::nullopt;
    using std::chrono::microseconds;
    const std::chrono::system_clock::time_point reported{std::chrono::seconds(t->timestamp.tv_sec) +
                                                         microseconds(t->timestamp.tv_usec)};
    // Frames between the newest the server had queued and the first still unread; negative once
    // more has been read than the report knew of.
    const std::int64_t behind =
        (t->write_index - t->read_index) / static_cast<std::int64_t>(frameBytes);
    return reported - microseconds(t->source_usec) + microseconds(t->sink_usec) -
           std::chrono::duration_cast<std::chrono::system_clock::duration>(
               std::chrono::duration<double>(static_cast<double>(behind) / sampleRate));
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
        if (in->running_) in->lose();
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
        if (in->running_) in->lose();
    }
    if (st == PA_STREAM_READY && in->lost_ && !in->stopping_ && s == in->stream_) {
        in->lost_ = false;
        in->awaitingAudio_ = true;
        if (in->device_ == Device::computerOutput) in->watchDefaults();
    }
    pa_threaded_mainloop_signal(in->loop_, 0);
}

void AudioInput::onRetry(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
    static_cast<AudioInput*>(self)->retry();
}

void AudioInput::lose() {
    if (lost_) return;
    lost_ = true;
    lostAfter_ = placement_.frames();
    // Lost again before its audio came: the user heard of the first loss and nothing since.
    const bool told = std::exchange(awaitingAudio_, false);
    // What the server held for the old stream is gone with it. The new stream's first blocks wait
    // for a report of their own, as a moved stream's do, and the time between becomes a gap.
    afterLoss_ = true;
    cancelTimingUpdate();
    timing_ = Timing::none;
    placement_.restart();
    if (watch_ && !told) watch_(false);
    scheduleRetry();
}

void AudioInput::scheduleRetry() {
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    timeval at{};
    pa_timeval_add(pa_gettimeofday(&at),
                   std::chrono::duration_cast<std::chrono::microseconds>(kRetryEvery).count());
    if (retry_)
        api->time_restart(retry_, &at);
    else
        retry_ = api->time_new(api, &at, &AudioInput::onRetry, this);
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

// As open() finds the device, but without waiting: this runs on the loop's thread.
void AudioInput::findDeviceAgain() {
    looking_ = true;
    pa_operation* op = pa_context_get_server_info(
        context_,
        [](pa_context* c, const pa_server_info* info, void* self) {
            auto* in = static_cast<AudioInput*>(self);
            pa_operation* next = nullptr;
            if (info && in->device_ == Device::computerOutput && info->default_sink_name) {
                next = pa_context_get_sink_info_by_name(
                    c, info->default_sink_name,
                    [](pa_context*, const pa_sink_info* sink, int eol, void* self) {
                        auto* in = static_cast<AudioInput*>(self);
                        if (eol != 0) in->looking_ = false;
                        if (!sink || !sink->monitor_source_name || !in->lost_ || in->stream_)
                            return;
                        in->followedSink_ = sink->name;
                        in->resume(sink->monitor_source_name);
                    },
                    in);
            } else if (info && in->device_ == Device::microphone && info->default_source_name) {
                next = pa_context_get_source_info_by_name(
                    c, info->default_source_name,
                    [](pa_context*, const pa_source_info* source, int eol, void* self) {
                        auto* in = static_cast<AudioInput*>(self);
                        if (eol != 0) in->looking_ = false;
                        // A sink's monitor is no microphone (as in open()): a server that is
                        // still setting up may offer one for a moment.
                        if (!source || source->monitor_of_sink != PA_INVALID_INDEX || !in->lost_ ||
                            in->stream_)
                            return;
                        in->resume(source->name);
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
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_moved_callback(stream_, nullptr, nullptr);
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
    in->deliverQueued(s);
    // Recording again once the new stream's audio goes out: a sink that renders ahead may give
    // its monitor nothing for seconds after the stream is ready.
    if (in->awaitingAudio_ && in->placement_.frames() != in->lostAfter_) {
        in->awaitingAudio_ = false;
        if (in->watch_) in->watch_(true);
    }
}

void AudioInput::deliverQueued(pa_stream* s) {
    // The first blocks wait for a report taken once audio flows: one from when the stream
    // connected predates what the sink rendered meanwhile.
    if (timing_ == Timing::awaited) return;
    if (timing_ == Timing::none && pa_stream_readable_size(s) > 0) {
        if ((timingUpdate_ = pa_stream_update_timing_info(
                 s,
                 [](pa_stream* s, int, void* self) {
                     auto* in = static_cast<AudioInput*>(self);
                     pa_operation_unref(in->timingUpdate_);
                     in->timingUpdate_ = nullptr;
                     in->timing_ = Timing::fresh;
                     in->deliverQueued(s);
                 },
                 this))) {
            timing_ = Timing::awaited;
            return;
        }
        timing_ = Timing::fresh;  // refused: the blocks go out without it
    }
    deliverRead(s);
}

void AudioInput::deliverRead(pa_stream* s) {
    const auto now = std::chrono::system_clock::now();
    const auto seconds = [this](std::size_t frames) {
        return framesToDuration(frames, sampleRate_);
    };
    std::size_t queued = pa_stream_readable_size(s) / frameBytes_;  // frames, this block on
    // Without a report from the server, what is still queued counts back from now.
    const std::optional<TimePoint> firstAt = headHeardAt(s, frameBytes_, sampleRate_);
    const std::optional<TimePoint> reportAt = reportTakenAt(s);
    std::size_t read = 0;  // frames, up to this block
    while (pa_stream_readable_size(s) > 0) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0) return;
        const std::size_t frames = bytes / frameBytes_;
        const auto capturedAt = firstAt ? *firstAt + seconds(read) : now - seconds(queued);
        read += frames;
        queued -= std::min(queued, frames);
        if (receiver_ && frames > 0) {
            try {
                // Blocks timed by their arrival jitter far more than by a report, and a report
                // asked for before a move or before audio flowed may be stale: such blocks follow
                // the one before. A new stream's first block after a loss goes where its time puts
                // it, so that the time without a stream becomes silence.
                const bool afterLoss = std::exchange(afterLoss_, false);
                const bool byTime = afterLoss || (firstAt && reportAt && placeByReport_ &&
                                                  timing_ == Timing::fresh &&
                                                  placement_.mayFollow(capturedAt, *reportAt));
                place(static_cast<const float*>(data), frames, capturedAt, byTime, afterLoss);
            } catch (const std::exception& e) {
                // Nothing may unwind into libpulse; the receiver is not called again.
                setStreamError(e.what());
                receiver_ = nullptr;
            }
        }
        pa_stream_drop(s);
    }
}

void AudioInput::place(const float* interleaved, std::size_t frames, TimePoint heardAt, bool byTime,
                       bool afterLoss) {
    if (seeking()) seekKeptOut();
    const TrackPlacement::Step step = placement_.place(frames, heardAt, byTime);
    if (step.silence > 0 && afterLoss) {
        take(nullptr, step.silence, step.silenceAt);
    } else if (step.silence > 0) {
        // The track catching up with the clock is written as silent samples, not as a gap: no
        // stream was lost there, and nothing of this process's was left out.
        const std::vector<float> zeros(step.silence * (frameBytes_ / sizeof(float)), 0.0f);
        take(zeros.data(), step.silence, step.silenceAt);
    }
    const std::uint64_t raw = rawTaken_;
    // What was rendered later is what was heard: it replaces what is still held back, and what
    // went out already stays.
    if (step.overlap > 0) {
        replaceHeld(interleaved, step.overlap, step.overlapAt);
        if (seeking()) spans_.push_back({raw, step.overlapAt, step.overlap});
    }
    if (frames > step.overlap) {
        if (seeking())
            spans_.push_back(
                {raw + step.overlap, static_cast<std::int64_t>(taken_), frames - step.overlap});
        take(interleaved ? interleaved + step.overlap * (frameBytes_ / sizeof(float)) : nullptr,
             frames - step.overlap, step.at);
    }
    if (seeking()) {
        const std::size_t channels = frameBytes_ / sizeof(float);
        for (std::size_t f = 0; f < frames; ++f) {
            float sum = 0;
            for (std::size_t c = 0; interleaved && c < channels; ++c)
                sum += interleaved[f * channels + c];
            raw_.push_back(sum / static_cast<float>(channels));
        }
        rawTaken_ += frames;
        // The rest of a sound found in earlier audio.
        if (rawSilentUntil_ > raw) silenceRaw(raw, std::min(rawTaken_, rawSilentUntil_));
    }
    release(false);
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
        if (h.samples.empty()) continue;
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

void AudioInput::take(const float* interleaved, std::size_t frames, TimePoint capturedAt) {
    const std::size_t channels = frameBytes_ / sizeof(float);
    Held block{{}, frames, capturedAt, taken_};
    if (interleaved) block.samples.assign(interleaved, interleaved + frames * channels);
    held_.push_back(std::move(block));
    taken_ += frames;
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
    const auto now = std::chrono::system_clock::now();
    while (!held_.empty() && held_.front().first + held_.front().frames <= neededFrom &&
           (all || held_.front().at + framesToDuration(held_.front().frames, sampleRate_) <= now)) {
        const Held& h = held_.front();
        receiver_(h.samples.empty() ? nullptr : h.samples.data(), h.frames, h.at);
        held_.pop_front();
    }
    // What the searches still need of the audio as it came, and the lead-in of the next.
    const auto lookBack = static_cast<std::uint64_t>(durationToFrames(kLookBack, sampleRate_));
    std::uint64_t keepFrom = rawTaken_;
    for (const Search& search : searches_) keepFrom = std::min(keepFrom, search.from);
    keepFrom -= std::min(keepFrom, lookBack);
    const std::uint64_t rawFirst = rawTaken_ - raw_.size();
    if (keepFrom > rawFirst)
        raw_.erase(raw_.begin(), raw_.begin() + static_cast<std::ptrdiff_t>(keepFrom - rawFirst));
    while (!spans_.empty() && spans_.front().raw + spans_.front().frames <= keepFrom)
        spans_.pop_front();
}

void AudioInput::silence(std::size_t block, std::size_t from, std::size_t to) {
    Held& h = held_[block];
    if (h.samples.empty() || from >= to) return;
    const std::size_t channels = frameBytes_ / sizeof(float);
    // Split into what comes before, the silence, and what comes after.
    const auto part = [&](std::size_t a, std::size_t b) {
        Held p{{}, b - a, h.at + framesToDuration(a, sampleRate_), h.first + a};
        if (!(a == from && b == to))
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
    // The sound and its margins, kLongestOwnSound at most; what comes after the audio so far is
    // silenced as it comes.
    const std::ptrdiff_t length =
        std::min(static_cast<std::ptrdiff_t>(finder.length()) + 2 * frames(kKeptOutMargin),
                 frames(kLongestOwnSound));
    const std::ptrdiff_t begin =
        static_cast<std::ptrdiff_t>(from) + *found - frames(kKeptOutMargin);
    const auto first = static_cast<std::uint64_t>(std::max<std::ptrdiff_t>(0, begin));
    const auto last = static_cast<std::uint64_t>(std::max<std::ptrdiff_t>(0, begin + length));
    silenceRaw(first, std::min(last, rawTaken_));
    if (last > rawTaken_) rawSilentUntil_ = std::max(rawSilentUntil_, last);
}

void AudioInput::onMoved(pa_stream* s, void* self) {
    auto* in = static_cast<AudioInput*>(self);
    // What is still queued came from the old device: it goes first, timed by what is known of
    // that device, also while a report is awaited.
    in->deliverRead(s);
    // The new device's latency is its own: its first blocks wait for a report taken after the
    // move, not one asked for before it.
    in->cancelTimingUpdate();
    in->timing_ = Timing::none;
    in->placement_.restart();  // the new device's audio is placed by its own report
}

void AudioInput::cancelTimingUpdate() {
    if (!timingUpdate_) return;
    pa_operation_cancel(timingUpdate_);
    pa_operation_unref(timingUpdate_);
    timingUpdate_ = nullptr;
}

void AudioInput::awaitTheStop() {
    const auto stopAt = std::chrono::system_clock::now();
    const auto deadline = std::chrono::steady_clock::now() + kLongestWaitAtStop;
    std::uint64_t taken = UINT64_MAX;
    auto lastBlock = std::chrono::steady_clock::now();
    for (;;) {
        {
            LoopLock lock(loop_);
            // Only a stream that delivers is waited for.
            if (!stream_ || !receiver_ || pa_stream_get_state(stream_) != PA_STREAM_READY ||
                !placement_.started() || placement_.end() >= stopAt)
                return;
            if (taken_ != taken) lastBlock = std::chrono::steady_clock::now();
            taken = taken_;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline || now - lastBlock > kSilentAtStop) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string AudioInput::sourceName() const {
    std::lock_guard lock(sourceMutex_);
    return sourceName_;
}

// Runs on the loop's thread whenever the server's defaults may have changed; every step is
// asynchronous, as a callback must not wait for the server.
void AudioInput::followDefaultSink() {
    pa_operation* op = pa_context_get_server_info(
        context_,
        [](pa_context* c, const pa_server_info* info, void* self) {
            auto* in = static_cast<AudioInput*>(self);
            if (!info || !info->default_sink_name || !in->stream_ ||
                in->followedSink_ == info->default_sink_name)
                return;
            pa_operation* sinkOp = pa_context_get_sink_info_by_name(
                c, info->default_sink_name,
                [](pa_context* c, const pa_sink_info* sink, int, void* self) {
                    auto* in = static_cast<AudioInput*>(self);
                    if (!sink || !sink->monitor_source_name || !in->stream_ ||
                        in->followedSink_ == sink->name)
                        return;
                    in->followedSink_ = sink->name;
                    {
                        std::lock_guard lock(in->sourceMutex_);
                        in->sourceName_ = sink->monitor_source_name;
                    }
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
        followDefaultSink();
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
    running_ = lost_ = looking_ = awaitingAudio_ = afterLoss_ = false;
    device_ = device;
    followedSink_.clear();
    placeByReport_ = false;
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
            placeByReport_ = names.server.find("PipeWire") == std::string::npos;
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
        raw_.clear();
        spans_.clear();
        rawTaken_ = rawSilentUntil_ = 0;
        taken_ = 0;
        startedAt_ = std::chrono::system_clock::now();
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
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentUsec, &sampleFormat));
    // The server reports the stream's timing as it goes (deliverQueued).
    timing_ = Timing::none;
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
    followDefaultSink();
}

void AudioInput::stop() {
    if (!loop_) return;
    awaitTheStop();
    {
        LoopLock lock(loop_);
        stopping_ = true;
        cancelTimingUpdate();
        // What the server delivered last goes out too, also while a report is awaited.
        if (stream_ && receiver_ && pa_stream_get_state(stream_) == PA_STREAM_READY)
            deliverRead(stream_);
        if (running_ && receiver_) {
            try {
                // Without a stream since it was lost, the rest of the recording is silence.
                if (lost_ || awaitingAudio_) {
                    const TimePoint from = placement_.started() ? placement_.end() : startedAt_;
                    const double missing =
                        std::chrono::duration<double>(std::chrono::system_clock::now() - from)
                            .count();
                    if (missing > 0)
                        take(nullptr, static_cast<std::size_t>(missing * sampleRate_), from);
                }
                // What waits for a sound that may still come goes out as it is.
                release(true);
            } catch (const std::exception& e) {
                setStreamError(e.what());
            }
        }
        if (retry_) {
            pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
            api->time_free(retry_);
            retry_ = nullptr;
        }
        dropStream();
        dropContext();
        running_ = lost_ = awaitingAudio_ = afterLoss_ = false;
    }
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
    receiver_ = nullptr;
}

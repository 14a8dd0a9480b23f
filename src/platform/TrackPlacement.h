#pragma once
// Lays the blocks of a recording on the wall clock. Each block follows the one before, unless the
// time the sound server gives for it strays from there by more than a tolerance: then silence
// fills a gap, and audio for a time already laid down is set aside, so that what follows keeps
// its time. Plain logic, no I/O.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

class TrackPlacement {
public:
    using TimePoint = std::chrono::system_clock::time_point;

    // Where a block goes: first `silence` frames of silence from `silenceAt`; then its first
    // `overlap` frames belong at frame `overlapAt` of the track (negative: before its start),
    // which was laid down already, and the rest of it goes from `at` on.
    struct Step {
        std::size_t silence = 0;
        TimePoint silenceAt;
        std::size_t overlap = 0;
        std::int64_t overlapAt = 0;
        TimePoint at;
    };

    TrackPlacement(int sampleRate, std::chrono::microseconds tolerance)
        : sampleRate_(sampleRate), tolerance_(tolerance) {}

    // A block of `frames` frames, whose first was heard at `heardAt`. The first block starts the
    // track there; later ones follow by that time only when `byTime`.
    Step place(std::size_t frames, TimePoint heardAt, bool byTime);
    // Whether a block heard at `heardAt` would move the track if placed by that time.
    bool strays(TimePoint heardAt) const;
    // Whether a block heard at `heardAt`, as a report taken at `reportAt` says, may be placed by
    // that time: where it lies within the tolerance or strays far (a rewind, a move), or where it
    // strays a little, up to twice the tolerance, as a report taken kConfirmedAfter or more
    // after the first to say so confirms. On a busy machine a sink's reported latency wanders by
    // that much for a while and comes back; following it would cut or repeat audio for nothing.
    // In the kSettling after the first report of a device moved to (restart()), when a server's
    // reports correct the first ones, every stray is followed at once.
    bool mayFollow(TimePoint heardAt, TimePoint reportAt);
    static constexpr std::chrono::milliseconds kConfirmedAfter{500};
    static constexpr std::chrono::seconds kSettling{2};
    // What comes next is timed anew (another device): nothing more is set aside or doubted.
    void restart() {
        behind_ = 0;
        doubted_.reset();
        settling_ = true;
        firstReport_.reset();
    }

    bool started() const { return started_; }
    // The end of the track so far on the wall clock, and its length in frames.
    TimePoint end() const { return end_; }
    std::uint64_t frames() const { return frames_; }

private:
    std::chrono::system_clock::duration duration(std::size_t frames) const;

    int sampleRate_;
    std::chrono::microseconds tolerance_;
    bool started_ = false;
    TimePoint end_;
    std::uint64_t frames_ = 0;
    std::uint64_t behind_ = 0;  // frames still to come that lie in time laid down already
    // The report that first put the blocks a little off the track's end, and to which side.
    std::optional<TimePoint> doubted_;
    bool settling_ = false;
    std::optional<TimePoint> firstReport_;  // of the device moved to
    bool doubtedLate_ = false;
};

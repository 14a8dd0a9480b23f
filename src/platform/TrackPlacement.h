#pragma once
// Lays the blocks of a recording on the monotonic clock. The frames the sound server delivers are
// the referee: from an anchor (the start, a move to another device, a new stream after a loss)
// each block follows the one before, and nothing delivered is left out. The server's reports only
// time the blocks: a segment's start is the median of what the reports of its first moments say,
// which one stray report cannot move; a lasting disagreement later on (two devices' clocks that
// drift apart) is taken up by stretching or squeezing blocks a little. Plain logic, no I/O.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

class TrackPlacement {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    // How a segment joins the track: after `silence` frames from `silenceAt` where its time lies
    // beyond the track's end. Where it lies before, its first frames go over the track's last
    // (Step::overlap).
    struct Start {
        std::size_t silence = 0;
        TimePoint silenceAt;
    };
    // Where a block of the settled segment goes: its first `overlap` frames over the track from
    // frame `overlapAt`, the rest from `at` on, stretched (positive) or squeezed (negative) by
    // `adjust` frames.
    struct Step {
        std::size_t overlap = 0;
        std::int64_t overlapAt = 0;
        TimePoint at;
        int adjust = 0;
    };

    // `tolerance`: how far a new segment's time may lie from the track's end and still follow
    // it back to back.
    TrackPlacement(int sampleRate, std::chrono::microseconds tolerance);

    // A segment begins with the next frame delivered. `byTime`: it goes where its reports put it
    // (after a move on a server whose sinks render ahead, or a new stream after a loss), not
    // right after the track's end.
    void anchor(bool byTime);
    // A server's report: the segment's frame `frame` was heard at `heardAt`.
    void report(std::uint64_t frame, TimePoint heardAt);
    // Whether enough reports came for the segment's time to be known.
    bool settled() const { return !settling_; }
    std::size_t reports() const { return estimates_.size(); }
    // Ends the settling with what is known; without any report the segment begins at
    // `fallback`.
    Start settle(TimePoint fallback);
    // The next `frames` of the settled segment.
    Step place(std::size_t frames);

    // Where the segment's frame `frame` lies by what is known now; `fallback` is where its
    // frame 0 lies without any report.
    TimePoint frontier(std::uint64_t frame, TimePoint fallback) const;

    bool started() const { return started_; }
    // The end of the track so far on the clock, and its length in frames.
    TimePoint end() const;
    std::uint64_t frames() const { return frames_; }
    // How much the track was stretched (positive) or squeezed so far, in frames.
    std::int64_t adjusted() const { return adjusted_; }

    // A segment's time is the median of this many reports, or of those that came before the
    // caller gives up waiting.
    static constexpr std::size_t kSettleReports = 9;
    // Reports are compared with the track over this long; a disagreement is taken up only once
    // they have been compared for kDriftAfter, and only beyond kDriftDeadBand, at kDriftRate at
    // most (a thousandth: 1 ms a second, inaudible, and ten times a sound card's usual drift).
    static constexpr std::chrono::seconds kDriftWindow{30};
    static constexpr std::chrono::seconds kDriftAfter{20};
    static constexpr std::chrono::milliseconds kDriftDeadBand{25};
    static constexpr double kDriftRate = 0.001;

private:
    TimePoint timeOf(std::int64_t frame) const;

    int sampleRate_;
    std::chrono::microseconds tolerance_;
    bool started_ = false;
    TimePoint origin_;  // where the track's frame 0 lies
    std::uint64_t frames_ = 0;
    std::uint64_t behind_ = 0;  // frames still to come that lie in time laid down already
    std::int64_t adjusted_ = 0;
    // The segment: whether it is settling and is placed by its reports, what each report says
    // of where its frame 0 lies, and, once settled, the track frame of its frame 0 and how much
    // it was stretched so far.
    bool settling_ = false;
    bool byTime_ = false;
    std::vector<TimePoint> estimates_;
    std::int64_t segmentAt_ = 0;
    std::int64_t segmentAdjust_ = 0;
    std::uint64_t segmentFrames_ = 0;
    // How far each report since the settling put the frame it timed from where the track has it,
    // and whether the track is being moved towards them.
    struct Deviation {
        TimePoint at;
        double seconds;
    };
    std::deque<Deviation> deviations_;
    std::optional<TimePoint> comparedSince_;
    bool correcting_ = false;
    double pendingAdjust_ = 0;  // fractional frames not yet applied
};

#include "platform/TrackPlacement.h"

#include <algorithm>
#include <cmath>

namespace {

template <class T>
T median(std::vector<T> v) {
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

}  // namespace

TrackPlacement::TrackPlacement(int sampleRate, std::chrono::microseconds tolerance)
    : sampleRate_(sampleRate), tolerance_(tolerance) {
    anchor(true);
}

TrackPlacement::TimePoint TrackPlacement::timeOf(std::int64_t frame) const {
    return origin_ + std::chrono::duration_cast<Clock::duration>(
                         std::chrono::duration<double>(static_cast<double>(frame) / sampleRate_));
}

TrackPlacement::TimePoint TrackPlacement::end() const {
    return timeOf(static_cast<std::int64_t>(frames_));
}

TrackPlacement::TimePoint TrackPlacement::frontier(std::uint64_t frame, TimePoint fallback) const {
    const auto offset = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(frame) / sampleRate_));
    if (settling_) return (estimates_.empty() ? fallback : median(estimates_)) + offset;
    return timeOf(segmentAt_ + static_cast<std::int64_t>(frame) + segmentAdjust_);
}

void TrackPlacement::anchor(bool byTime) {
    // The first segment is the track's origin: it always settles by its reports.
    byTime_ = byTime || !started_;
    settling_ = byTime_;
    estimates_.clear();
    deviations_.clear();
    comparedSince_.reset();
    correcting_ = false;
    pendingAdjust_ = 0;
    // What the old device still had to lay over the track is forgotten: the new one is timed anew.
    behind_ = 0;
    segmentFrames_ = 0;
    segmentAdjust_ = 0;
    segmentAt_ = static_cast<std::int64_t>(frames_);
}

void TrackPlacement::report(std::uint64_t frame, TimePoint heardAt) {
    const auto offset = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(frame) / sampleRate_));
    if (settling_) {
        estimates_.push_back(heardAt - offset);
        return;
    }
    if (!started_) return;
    const TimePoint placedAt =
        timeOf(segmentAt_ + static_cast<std::int64_t>(frame) + segmentAdjust_);
    deviations_.push_back({heardAt, std::chrono::duration<double>(heardAt - placedAt).count()});
    if (!comparedSince_) comparedSince_ = heardAt;
    while (!deviations_.empty() && deviations_.front().at < heardAt - kDriftWindow)
        deviations_.pop_front();
}

TrackPlacement::Start TrackPlacement::settle(TimePoint fallback) {
    Start start;
    if (!settling_) return start;
    settling_ = false;
    // The median: a report that strays, as a busy server's do now and then, moves nothing.
    const TimePoint at = estimates_.empty() ? fallback : median(estimates_);
    estimates_.clear();
    if (!started_) {
        started_ = true;
        origin_ = at;
    } else {
        const double off = std::chrono::duration<double>(at - end()).count();
        if (off * 1e6 > static_cast<double>(tolerance_.count())) {
            // Nothing was recorded for a while: the time without a stream, or a move.
            start.silence = static_cast<std::size_t>(std::lround(off * sampleRate_));
            start.silenceAt = end();
            frames_ += start.silence;
        } else if (-off * 1e6 > static_cast<double>(tolerance_.count())) {
            // The new device's first frames belong to time laid down already.
            behind_ = static_cast<std::uint64_t>(std::lround(-off * sampleRate_));
        }
    }
    segmentAt_ = static_cast<std::int64_t>(frames_) - static_cast<std::int64_t>(behind_);
    return start;
}

TrackPlacement::Step TrackPlacement::place(std::size_t frames) {
    Step step;
    if (settling_) settle({});  // callers settle first; this keeps the counts whole regardless
    if (behind_ > 0) {
        step.overlap = static_cast<std::size_t>(std::min<std::uint64_t>(frames, behind_));
        step.overlapAt = static_cast<std::int64_t>(frames_) - static_cast<std::int64_t>(behind_);
        behind_ -= step.overlap;
    }
    const std::size_t rest = frames - step.overlap;
    // A lasting disagreement with the reports is taken up a little at a time; one that comes and
    // goes within the window, as a busy server's accounts do, is not followed.
    if (rest > 0 && comparedSince_ && !deviations_.empty() &&
        deviations_.back().at - *comparedSince_ >= kDriftAfter) {
        std::vector<double> seconds;
        seconds.reserve(deviations_.size());
        for (const Deviation& d : deviations_) seconds.push_back(d.seconds);
        const double off = median(std::move(seconds));
        const double deadBand = std::chrono::duration<double>(kDriftDeadBand).count();
        if (std::fabs(off) > deadBand) correcting_ = true;
        if (std::fabs(off) < deadBand / 5) correcting_ = false;
        if (correcting_) {
            const double most = static_cast<double>(rest) * kDriftRate;
            pendingAdjust_ += std::clamp(off * sampleRate_, -most, most);
            auto adjust = static_cast<int>(pendingAdjust_);  // whole frames, towards zero
            adjust = std::max(adjust, 1 - static_cast<int>(rest));
            pendingAdjust_ -= adjust;
            step.adjust = adjust;
            // The track moved: what the reports said so far is now that much nearer.
            for (Deviation& d : deviations_) d.seconds -= static_cast<double>(adjust) / sampleRate_;
        }
    }
    step.at = end();
    frames_ = static_cast<std::uint64_t>(static_cast<std::int64_t>(frames_ + rest) + step.adjust);
    segmentAdjust_ += step.adjust;
    adjusted_ += step.adjust;
    segmentFrames_ += frames;
    return step;
}

#include "platform/TrackPlacement.h"

#include <algorithm>
#include <cmath>

std::chrono::system_clock::duration TrackPlacement::duration(std::size_t frames) const {
    return std::chrono::duration_cast<std::chrono::system_clock::duration>(
        std::chrono::duration<double>(static_cast<double>(frames) / sampleRate_));
}

bool TrackPlacement::strays(TimePoint heardAt) const {
    if (!started_ || behind_ > 0) return false;
    const auto off = heardAt - end_;
    return off > tolerance_ || off < -tolerance_;
}

bool TrackPlacement::mayFollow(TimePoint heardAt, TimePoint reportAt) {
    if (settling_ && !firstReport_) firstReport_ = reportAt;
    if (!strays(heardAt)) {
        doubted_.reset();
        return true;
    }
    const auto off = heardAt - end_;
    if (off > 2 * tolerance_ || off < -2 * tolerance_ ||
        (firstReport_ && reportAt < *firstReport_ + kSettling))
        return true;
    const bool late = off > off.zero();
    if (doubted_ && doubtedLate_ == late) {
        if (reportAt < *doubted_ + kConfirmedAfter) return false;
        doubted_.reset();
        return true;
    }
    doubted_ = reportAt;
    doubtedLate_ = late;
    return false;
}

TrackPlacement::Step TrackPlacement::place(std::size_t frames, TimePoint heardAt, bool byTime) {
    if (!started_) {
        started_ = true;
        end_ = heardAt;
    }
    Step step;
    const auto off = heardAt - end_;
    if (byTime && behind_ == 0 && off > tolerance_) {
        // Nothing was recorded for a while: a move to another device, or a sink that stopped
        // rendering ahead.
        step.silence = static_cast<std::size_t>(
            std::lround(std::chrono::duration<double>(off).count() * sampleRate_));
        step.silenceAt = end_;
        end_ += duration(step.silence);
        frames_ += step.silence;
    } else if (byTime && behind_ == 0 && off < -tolerance_) {
        // A sink rendered ahead and then rewound and rendered again, or changed its latency: this
        // block and maybe the next begin with audio for a time laid down already.
        behind_ = static_cast<std::uint64_t>(
            std::lround(std::chrono::duration<double>(-off).count() * sampleRate_));
    }
    if (behind_ > 0) {
        step.overlap = static_cast<std::size_t>(std::min<std::uint64_t>(frames, behind_));
        step.overlapAt = static_cast<std::int64_t>(frames_) - static_cast<std::int64_t>(behind_);
        behind_ -= step.overlap;
    }
    step.at = end_;
    end_ += duration(frames - step.overlap);
    frames_ += frames - step.overlap;
    return step;
}

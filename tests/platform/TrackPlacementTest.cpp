// Laying recorded blocks on the clock: the frames delivered are the referee, the server's reports
// only time them.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/TrackPlacement.h"

namespace {

using namespace std::chrono_literals;
using TimePoint = TrackPlacement::TimePoint;

constexpr int kFramesPerSecond = 1000;  // one frame a millisecond
const TimePoint kStart = TimePoint{} + std::chrono::hours(1);

TimePoint atMs(double ms) {
    return kStart + std::chrono::duration_cast<TimePoint::duration>(
                        std::chrono::duration<double, std::milli>(ms));
}
double msOf(TimePoint t) {
    return std::chrono::duration<double, std::milli>(t - kStart).count();
}

}  // namespace

// A segment's time is the median of its first reports, and its frames follow one another whatever
// the reports say: one that strays takes nothing out and puts nothing in.
TEST(TrackPlacementTest, TimesASegmentByItsReportsAndKeepsEveryFrame) {
    const struct {
        const char* name;
        std::vector<double> reports;  // where each says frame 0 lies (ms), one per 100 frames
        double origin;                // where the track then begins
    } cases[] = {
        {"on time", {0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
        {"jitter", {12, -9, 20, -25, 3, 7, -4, 0, 15}, 3},
        {"a report that strays by 100 ms", {0, 2, -100, 1, 0, -1, 2, 0, 1}, 0},
        {"three that stray", {300, 5, 300, 6, 4, -290, 5, 3, 6}, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TrackPlacement placement(kFramesPerSecond, 40ms);
        EXPECT_FALSE(placement.settled());
        for (std::size_t i = 0; i < c.reports.size(); ++i)
            placement.report(i * 100, atMs(c.reports[i] + double(i) * 100));
        EXPECT_EQ(placement.reports(), c.reports.size());
        const auto start = placement.settle(atMs(1000));
        EXPECT_EQ(start.silence, 0u);
        EXPECT_NEAR(msOf(placement.end()), c.origin, 0.01);
        // Reports that disagree afterwards, by far or a little, move nothing.
        for (int i = 0; i < 30; ++i) {
            placement.report(placement.frames(), placement.end() + (i % 3 == 0 ? 100ms : -60ms));
            const auto step = placement.place(100);
            EXPECT_EQ(step.overlap, 0u);
            EXPECT_EQ(step.adjust, 0);
            EXPECT_NEAR(msOf(step.at), c.origin + i * 100, 0.01);
        }
        EXPECT_EQ(placement.frames(), 3000u);
    }
}

// Without a report, a segment begins where its first block arrived.
TEST(TrackPlacementTest, WithoutReportsTheArrivalTimesTheSegment) {
    TrackPlacement placement(kFramesPerSecond, 40ms);
    placement.settle(atMs(250));
    EXPECT_NEAR(msOf(placement.place(100).at), 250, 0.01);
}

// After a move or a loss, the new segment goes where its reports put it: after silence for a
// gap, or over what was laid down already for an overlap; within the tolerance, and wherever it
// is not placed by its reports, it follows back to back.
TEST(TrackPlacementTest, ANewSegmentJoinsTheTrackWhereItsReportsPutIt) {
    const struct {
        const char* name;
        bool byTime;
        double heardMs;  // where the new segment's reports put its frame 0
        std::size_t silence;
        std::vector<std::size_t> overlaps;  // of its blocks of 100
        std::vector<std::int64_t> overlapsAt;
        double nextMs;  // where its audio past any overlap goes
    } cases[] = {
        {"a gap", true, 1250, 250, {0}, {0}, 1250},
        {"within the tolerance", true, 1030, 0, {0}, {0}, 1000},
        {"an overlap across blocks", true, 850, 0, {100, 50, 0}, {850, 950, 0}, 1000},
        {"before the track's start", true, -200, 0, {100, 100}, {-200, -100}, 1000},
        {"a move not placed by time", false, 1250, 0, {0}, {0}, 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TrackPlacement placement(kFramesPerSecond, 40ms);
        placement.report(0, atMs(0));
        placement.settle(atMs(0));
        for (int i = 0; i < 10; ++i) placement.place(100);
        placement.anchor(c.byTime);
        EXPECT_EQ(placement.settled(), !c.byTime);
        for (int i = 0; i < 3; ++i) placement.report(i * 100, atMs(c.heardMs + i * 100));
        const auto start = placement.settle(atMs(5000));
        EXPECT_EQ(start.silence, c.silence);
        if (c.silence > 0) {
            EXPECT_NEAR(msOf(start.silenceAt), 1000, 0.01);
        }
        bool restPlaced = false;
        for (std::size_t i = 0; i < c.overlaps.size(); ++i) {
            const auto step = placement.place(100);
            EXPECT_EQ(step.overlap, c.overlaps[i]) << "block " << i;
            if (step.overlap > 0) {
                EXPECT_EQ(step.overlapAt, c.overlapsAt[i]) << "block " << i;
            }
            if (step.overlap < 100 && !std::exchange(restPlaced, true)) {
                EXPECT_NEAR(msOf(step.at), c.nextMs, 0.01) << "block " << i;
            }
        }
    }
}

// A lasting disagreement, two devices' clocks drifting apart or a report that stays off, is taken
// up a little at a time, by no more than a thousandth of the audio; one that comes and goes within
// the window is not followed at all.
TEST(TrackPlacementTest, TakesUpALastingDriftSlowlyAndIgnoresAPassingOne) {
    const auto rate = TrackPlacement::kDriftRate;
    const struct {
        const char* name;
        // Where the server says the frame at `ms` of audio was heard, against where it was.
        std::function<double(double ms)> off;
        double seconds;
        double atMostOffAtEnd;  // ms, the track against the reports at the end
        bool adjusts;
    } cases[] = {
        {"a clock half a thousandth fast", [](double ms) { return ms * 0.0005; }, 600, 40, true},
        {"a clock a ten-thousandth slow", [](double ms) { return -ms * 0.0001; }, 600, 40, true},
        {"60 ms off for 10 s", [](double ms) { return ms > 30000 && ms < 40000 ? 60 : 0; }, 120, 1,
         false},
        {"jitter", [](double ms) { return std::fmod(ms * 7.3, 50) - 25; }, 120, 30, false},
        {"300 ms off from a minute on", [](double ms) { return ms > 60000 ? 300 : 0; }, 600, 30,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TrackPlacement placement(kFramesPerSecond, 40ms);
        placement.report(0, atMs(0));
        placement.settle(atMs(0));
        std::uint64_t frames = 0;  // delivered
        std::int64_t adjusted = 0;
        double lastOff = 0;
        bool adjustedEver = false;
        for (int block = 0; block < c.seconds * 10; ++block) {
            const double ms = double(frames);  // one frame a millisecond
            // A report every 1.5 s, as libpulse asks for one once a stream runs.
            if (block % 15 == 0) {
                placement.report(frames, atMs(ms + c.off(ms)));
            }
            const auto step = placement.place(100);
            // Never more than the rate, nor more than a frame at a time here.
            EXPECT_LE(std::abs(step.adjust), 1) << "block " << block;
            adjusted += step.adjust;
            EXPECT_LE(std::fabs(double(adjusted)), rate * double(frames + 100) + 1);
            adjustedEver = adjustedEver || step.adjust != 0;
            frames += 100;
            lastOff = ms + c.off(ms) - msOf(step.at);
        }
        EXPECT_EQ(placement.adjusted(), adjusted);
        EXPECT_EQ(placement.frames(), std::uint64_t(std::int64_t(frames) + adjusted));
        EXPECT_EQ(adjustedEver, c.adjusts);
        EXPECT_LE(std::fabs(lastOff), c.atMostOffAtEnd);
    }
}

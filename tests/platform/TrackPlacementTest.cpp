// Laying recorded blocks on the wall clock from the times a sound server gives for them.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/TrackPlacement.h"

namespace {

using namespace std::chrono_literals;
using TimePoint = TrackPlacement::TimePoint;

constexpr int kFramesPerSecond = 1000;  // one frame a millisecond
const TimePoint kStart = TimePoint{} + std::chrono::hours(24 * 365 * 50);

struct Block {
    std::size_t frames;
    int heardAtMs;  // from kStart, as the server gives it
    bool byTime = true;
    bool restartBefore = false;
};
struct Placed {
    std::size_t silence;
    std::size_t overlap;
    std::int64_t overlapAt;
    int atMs;
    bool strays = false;  // whether the block's time, taken as it is, moves the track
};

std::string describe(const TrackPlacement::Step& s) {
    return "silence " + std::to_string(s.silence) + ", overlap " + std::to_string(s.overlap) +
           " at frame " + std::to_string(s.overlapAt) + ", rest at " +
           std::to_string((s.at - kStart) / 1ms) + " ms";
}

}  // namespace

TEST(TrackPlacementTest, FollowsTheServersTimesOnlyBeyondTheTolerance) {
    const struct {
        const char* name;
        std::vector<Block> blocks;
        std::vector<Placed> placed;
        std::uint64_t frames;  // the track's length at the end
        int endMs;             // and where it ends
    } cases[] = {
        {"jitter within the tolerance is ignored",
         {{100, 0}, {100, 130}, {100, 170}, {100, 300}},
         {{0, 0, 0, 0}, {0, 0, 0, 100}, {0, 0, 0, 200}, {0, 0, 0, 300}},
         400,
         400},
        {"a gap is silence, and what follows keeps its time",
         {{100, 0}, {100, 250}, {100, 350}},
         {{0, 0, 0, 0}, {150, 0, 0, 250, true}, {0, 0, 0, 350}},
         450,
         450},
        // A sink rewound 150 ms: that much of what comes next was laid down already, so it is
        // set aside, over two blocks, whatever the next report says meanwhile (within the
        // tolerance here), and the rest goes on at the track's end.
        {"an overlap is set aside across blocks",
         {{100, 0}, {100, 100}, {100, 50}, {100, 170}, {100, 250}},
         {{0, 0, 0, 0}, {0, 0, 0, 100}, {0, 100, 50, 200, true}, {0, 50, 150, 200}, {0, 0, 0, 250}},
         350,
         350},
        {"a rewind beyond the start lies before the track",
         {{100, 1000}, {100, 800}},
         {{0, 0, 0, 1000}, {0, 100, -200, 1100, true}},
         100,
         1100},
        {"blocks not placed by time go back to back",
         {{100, 0}, {100, 500, false}, {100, -300, false}},
         {{0, 0, 0, 0}, {0, 0, 0, 100, true}, {0, 0, 0, 200, true}},
         300,
         300},
        // After a move, the new device's blocks are placed by its own times: what the old one
        // still had to set aside is forgotten.
        {"a restart forgets what was to be set aside",
         {{100, 0}, {100, -200}, {100, 300, true, true}},
         {{0, 0, 0, 0}, {0, 100, -200, 100, true}, {200, 0, 0, 300, true}},
         400,
         400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TrackPlacement placement(kFramesPerSecond, 40ms);
        EXPECT_FALSE(placement.started());
        for (std::size_t i = 0; i < c.blocks.size(); ++i) {
            const Block& b = c.blocks[i];
            if (b.restartBefore) placement.restart();
            const Placed& want = c.placed[i];
            EXPECT_EQ(placement.strays(kStart + b.heardAtMs * 1ms), want.strays) << "block " << i;
            const auto step = placement.place(b.frames, kStart + b.heardAtMs * 1ms, b.byTime);
            EXPECT_TRUE(step.silence == want.silence && step.overlap == want.overlap &&
                        step.overlapAt == want.overlapAt && (step.at - kStart) / 1ms == want.atMs)
                << "block " << i << ": " << describe(step);
            if (step.silence > 0) {
                EXPECT_EQ(step.silenceAt + step.silence * 1ms, step.at);
            }
        }
        EXPECT_TRUE(placement.started());
        EXPECT_EQ(placement.frames(), c.frames);
        EXPECT_EQ((placement.end() - kStart) / 1ms, c.endMs);
    }
}

// A little off, the track waits for a later report to say so too, but while the first reports of
// a device moved to settle; far off, it follows at once.
TEST(TrackPlacementTest, FollowsASmallStrayOnlyWhereALaterReportConfirmsIt) {
    struct Ask {
        int offMs;     // the block's time against the track's end
        int reportMs;  // when the report that timed it was taken
        bool follows;
        bool restartBefore = false;
    };
    // Each case begins with a report on time at 0 ms.
    const struct {
        const char* name;
        std::vector<Ask> asks;
    } cases[] = {
        {"within the tolerance", {{30, 100, true}, {-30, 100, true}}},
        {"far off, at once", {{81, 100, true}, {-500, 100, true}}},
        {"a little off, twice over half a second",
         {{60, 100, false}, {60, 100, false}, {55, 400, false}, {60, 600, true}}},
        {"it came back in between", {{60, 100, false}, {10, 400, true}, {60, 700, false}}},
        {"the other way", {{60, 100, false}, {-60, 700, false}, {-60, 1200, true}}},
        {"after a move, at once while its reports settle, and the doubt forgotten",
         {{-60, 3000, false},
          {-60, 3600, true, true},
          {60, 5500, true},
          {-60, 5600, false},
          {-60, 6200, true}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TrackPlacement placement(kFramesPerSecond, 40ms);
        placement.place(100, kStart, true);
        ASSERT_TRUE(placement.mayFollow(placement.end(), kStart));
        for (std::size_t i = 0; i < c.asks.size(); ++i) {
            const Ask& a = c.asks[i];
            if (a.restartBefore) placement.restart();
            EXPECT_EQ(
                placement.mayFollow(placement.end() + a.offMs * 1ms, kStart + a.reportMs * 1ms),
                a.follows)
                << "ask " << i;
        }
    }
}

// Where a move handed to the window manager starts, in the X server's pixels.
#include <gtest/gtest.h>

#include "platform/WindowManagerMove.h"

namespace {

// Scaled about the origin of the screen the point is on, which stays where it is, as the X
// server places scaled screens side by side.
TEST(WindowManagerMove, PressMapsThroughItsScreensOrigin) {
    const struct {
        QPoint logical, origin;
        qreal scale;
        QPoint native;
    } cases[] = {
        {{100, 50}, {0, 0}, 1.0, {100, 50}},
        {{100, 50}, {0, 0}, 2.0, {200, 100}},
        {{2020, 150}, {1920, 0}, 2.0, {2120, 300}},
        {{1930, -190}, {1920, -200}, 1.5, {1935, -185}},
        {{-500, 300}, {-1280, 0}, 1.25, {-305, 375}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.logical.x() << "," << c.logical.y() << " x" << c.scale);
        const QPoint native = nativeGlobalPosition(c.logical, c.origin, c.scale);
        EXPECT_EQ(native.x(), c.native.x());
        EXPECT_EQ(native.y(), c.native.y());
    }
}

}  // namespace

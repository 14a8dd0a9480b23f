#include <gtest/gtest.h>

#include "desktop/PanelPlacement.h"

namespace {

TEST(PanelPlacement, RightEdgeOfTheScreenUnderThePointer) {
    // A laptop screen with a top panel, and a second screen to its right with a dock on the left.
    const ScreenArea left{QRect(0, 0, 1440, 900), QRect(0, 28, 1440, 872)};
    const ScreenArea right{QRect(1440, -200, 1920, 1080), QRect(1500, -200, 1860, 1080)};
    const std::vector<ScreenArea> both = {left, right};
    const struct {
        QPoint pointer;
        std::vector<ScreenArea> screens;
        std::optional<ScreenArea> primary;
        int topOffset;
        std::optional<QPoint> origin;
    } cases[] = {
        {{100, 100}, both, left, 120, QPoint(1440 - 52 - 16, 28 + 120)},
        {{2000, 0}, both, left, 60, QPoint(3360 - 52 - 16, -200 + 60)},
        {{-50, -50}, both, left, 60, QPoint(1440 - 52 - 16, 28 + 60)},  // between: the primary
        {{0, 0}, {}, std::nullopt, 120, std::nullopt},
        {{5000, 5000}, {left}, std::nullopt, 120, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pointer.x());
        EXPECT_EQ(rightEdgeOrigin(c.pointer, c.screens, c.primary, QSize(52, 180), c.topOffset),
                  c.origin);
    }
}

}  // namespace

#include <gtest/gtest.h>

#include "desktop/PanelPlacement.h"

namespace {

TEST(PanelPlacement, RightEdgeOfTheScreenUnderThePointer) {
    // A laptop screen with a top panel, and a second screen to its right with a dock on the left.
    const ScreenArea left{QRect(0, 0, 1440, 900), QRect(0, 28, 1440, 872)};
    const ScreenArea right{QRect(1440, -200, 1920, 1080), QRect(1500, -200, 1860, 1080)};
    const QSize pill(52, 180);
    struct Case {
        const char* name;
        QPoint pointer;
        std::vector<ScreenArea> screens;
        std::optional<ScreenArea> primary;
        int topOffset;
        std::optional<QPoint> origin;
    };
    const std::vector<Case> cases = {
        {"pointer on the primary screen",
         {100, 100},
         {left, right},
         left,
         120,
         QPoint(1440 - 52 - 16, 28 + 120)},
        {"pointer on the second screen",
         {2000, 0},
         {left, right},
         left,
         120,
         QPoint(1500 + 1860 - 52 - 16, -200 + 120)},
        {"prompt offset", {2000, 0}, {left, right}, left, 60, QPoint(3360 - 52 - 16, -140)},
        {"pointer between screens falls back to the primary",
         {-50, -50},
         {left, right},
         left,
         60,
         QPoint(1440 - 52 - 16, 28 + 60)},
        {"the first screen that holds the pointer wins",
         {10, 10},
         {left, left},
         right,
         120,
         QPoint(1440 - 52 - 16, 148)},
        {"no screen at all", {0, 0}, {}, std::nullopt, 120, std::nullopt},
        {"no screen under the pointer and no primary",
         {5000, 5000},
         {left},
         std::nullopt,
         120,
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(rightEdgeOrigin(c.pointer, c.screens, c.primary, pill, c.topOffset), c.origin);
    }
}

}  // namespace

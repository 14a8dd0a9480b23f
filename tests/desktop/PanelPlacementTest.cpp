#include <gtest/gtest.h>

#include "desktop/PanelPlacement.h"
#include "desktop/WindowPlacement.h"

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

TEST(WindowPlacement, MainWindowOpensOnAScreenAndFitsIt) {
    // A 1024x600 netbook with a 24-pixel panel, and a large screen to its right.
    const QRect small(0, 24, 1024, 576), large(1024, 0, 1920, 1080);
    const QMargins frame(2, 36, 2, 2);
    const struct {
        std::optional<QRect> saved;
        std::vector<QRect> screens;  // the first is the primary
        QRect placed;
    } cases[] = {
        {std::nullopt, {small}, QRect(2, 60, 1020, 538)},                            // all of it
        {std::nullopt, {large}, QRect(1434, 177, 1100, 760)},                        // centred
        {QRect(1100, 100, 1000, 700), {small, large}, QRect(1100, 100, 1000, 700)},  // kept
        {QRect(1100, 100, 300, 200), {large}, QRect(1100, 100, 920, 600)},           // minimum
        {QRect(2600, 900, 1000, 700), {small, large}, QRect(1942, 378, 1000, 700)},  // pulled in
        {QRect(3500, 100, 1000, 700), {small}, QRect(12, 60, 1000, 538)},  // its screen is gone
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WindowPlacement::restored(c.saved, {1100, 760}, {920, 600}, c.screens,
                                            c.screens.front(), frame),
                  c.placed);
    }
    EXPECT_EQ(WindowPlacement::fittedMinimum({920, 600}, small, frame), QSize(920, 538));
    EXPECT_EQ(
        WindowPlacement::centredOver(QSize(560, 560), QRect(2500, 600, 1000, 700), large, frame),
        QRect(2382, 518, 560, 560));
}

}  // namespace

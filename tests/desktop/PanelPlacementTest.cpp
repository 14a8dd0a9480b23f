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

}  // namespace

TEST(WindowPlacement, MainWindowOpensOnAScreenAndFitsIt) {
    // A 1024x600 netbook with a 24-pixel panel, and a large screen to its right.
    const QRect small(0, 24, 1024, 576), large(1024, 0, 1920, 1080);
    const QMargins frame(2, 36, 2, 2);
    const QSize def(1100, 760), min(920, 600);
    const struct {
        const char* name;
        std::optional<QRect> saved;
        std::vector<QRect> screens;
        QRect fallback;
        QRect placed;
    } cases[] = {
        {"first start, small screen", std::nullopt, {small}, small, QRect(2, 60, 1020, 538)},
        {"first start, large screen", std::nullopt, {large}, large, QRect(1434, 177, 1100, 760)},
        {"kept where it was",
         QRect(1100, 100, 1000, 700),
         {small, large},
         small,
         QRect(1100, 100, 1000, 700)},
        {"too small: the minimum",
         QRect(1100, 100, 300, 200),
         {large},
         large,
         QRect(1100, 100, 920, 600)},
        {"half off the edge: pulled back",
         QRect(2600, 900, 1000, 700),
         {small, large},
         small,
         QRect(1942, 378, 1000, 700)},
        {"on a screen now gone: centred",
         QRect(3500, 100, 1000, 700),
         {small},
         small,
         QRect(12, 60, 1000, 538)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QRect placed =
            WindowPlacement::restored(c.saved, def, min, c.screens, c.fallback, frame);
        EXPECT_EQ(placed, c.placed);
        bool inside = false;
        for (const QRect& s : c.screens) inside |= s.contains(placed.marginsAdded(frame));
        EXPECT_TRUE(inside);
    }
    // The minimum gives way on the small screen only.
    EXPECT_EQ(WindowPlacement::fittedMinimum(min, small, frame), QSize(920, 538));
    EXPECT_EQ(WindowPlacement::fittedMinimum(min, large, frame), min);
    // The settings over a main window at the screen's edge stay on the screen.
    EXPECT_EQ(
        WindowPlacement::centredOver(QSize(560, 560), QRect(2500, 600, 1000, 700), large, frame),
        QRect(2382, 518, 560, 560));
}

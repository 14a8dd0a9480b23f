// The desktop's text form of the window buttons' layout.
#include <gtest/gtest.h>

#include "platform/WindowButtonLayout.h"

namespace {

using B = WindowButton;

TEST(WindowButtonLayout, ReadsSidesAndOrderFromTheDesktopsText) {
    const struct {
        const char* text;
        std::optional<WindowButtonLayout> layout;
    } cases[] = {
        {"appmenu:minimize,maximize,close",
         WindowButtonLayout{{}, {B::minimize, B::maximize, B::close}}},
        {"close,minimize,maximize:", WindowButtonLayout{{B::close, B::minimize, B::maximize}, {}}},
        {"appmenu:close", WindowButtonLayout{{}, {B::close}}},
        {"close:appmenu", WindowButtonLayout{{B::close}, {}}},
        {"maximize,close", WindowButtonLayout{{B::maximize, B::close}, {}}},  // no colon: left
        {" minimize , close : maximize ",
         WindowButtonLayout{{B::minimize, B::close}, {B::maximize}}},
        {"menu:minimize,spacer,maximize,,close",
         WindowButtonLayout{{}, {B::minimize, B::maximize, B::close}}},
        // Named twice: where it comes first.
        {"close,close:close,minimize", WindowButtonLayout{{B::close}, {B::minimize}}},
        // Only the first colon divides; what follows a second is one unknown name.
        {"close:minimize:maximize,maximize", WindowButtonLayout{{B::close}, {B::maximize}}},
        {"", std::nullopt},
        {":", std::nullopt},
        {"appmenu,icon:spacer", std::nullopt},
        {"CLOSE:MINIMIZE", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(WindowButtonLayout::parse(c.text), c.layout);
    }
    EXPECT_EQ(WindowButtonLayout::standard(),
              (WindowButtonLayout{{}, {B::minimize, B::maximize, B::close}}));
}

}  // namespace

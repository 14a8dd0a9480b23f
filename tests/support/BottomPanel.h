#pragma once
// A desktop panel along the bottom of the test X screen: a dock window that reserves its height
// there, so that the window manager takes it off the screen's usable area, as a taskbar does.
// Gone with the object.
#include <xcb/xcb.h>

namespace testsupport {

class BottomPanel {
public:
    // `height` in pixels. Check ok(): without an X server there is no panel.
    explicit BottomPanel(int height);
    ~BottomPanel();
    BottomPanel(const BottomPanel&) = delete;
    BottomPanel& operator=(const BottomPanel&) = delete;

    bool ok() const { return window_ != XCB_WINDOW_NONE; }

private:
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t window_ = XCB_WINDOW_NONE;
};

}  // namespace testsupport

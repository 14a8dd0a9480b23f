#pragma once
// The on-screen windows of an X11 display and screenshots of single windows. Works on X11
// sessions and on XWayland windows; a pure Wayland session offers neither, and open() then
// gives nothing.
//
// One instance holds one X connection. xcb connections are thread-safe, but an instance is
// meant to be used from one thread at a time.
#include "platform/GrayImage.h"
#include "platform/WindowInfo.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

struct xcb_connection_t;

class WindowCapture {
public:
    // Connects to $DISPLAY. nullptr when no X server answers.
    static std::unique_ptr<WindowCapture> open();

    // True when an X server answers on $DISPLAY (connects and disconnects at once).
    static bool displayAvailable();

    ~WindowCapture();
    WindowCapture(const WindowCapture&) = delete;
    WindowCapture& operator=(const WindowCapture&) = delete;

    // Viewable top-level client windows, topmost first. With an EWMH window manager this is its
    // stacking list; without one, the root's children that carry WM_CLASS.
    std::vector<WindowInfo> windows();

    // The window's own content at its size in pixels, also where other windows cover it (the
    // Composite extension keeps every top-level window's content off screen). nullopt when the
    // window is gone, unmapped or of a pixel format we do not read.
    std::optional<GrayImage> screenshot(std::uint32_t window);

    // Whether covered windows read true: false when the server lacks Composite, in which case
    // a covered part reads as whatever lies on top of it.
    bool composited() const { return composited_; }

private:
    WindowCapture(xcb_connection_t* conn, std::uint32_t root);

    struct Atoms;
    xcb_connection_t* conn_;
    std::uint32_t root_;
    std::unique_ptr<Atoms> atoms_;
    bool composited_ = false;
};

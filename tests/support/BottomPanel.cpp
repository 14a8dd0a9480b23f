#include "support/BottomPanel.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace testsupport {
namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

}  // namespace

BottomPanel::BottomPanel(int height) {
    int screenNumber = 0;
    connection_ = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection_)) return;
    auto it = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
    const xcb_screen_t* screen = it.data;
    const auto width = screen->width_in_pixels;
    const int top = screen->height_in_pixels - height;

    const xcb_window_t w = xcb_generate_id(connection_);
    const uint32_t background = screen->black_pixel;
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, w, screen->root, 0, int16_t(top), width,
                      uint16_t(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL, &background);
    const xcb_atom_t dock = atom(connection_, "_NET_WM_WINDOW_TYPE_DOCK");
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, w,
                        atom(connection_, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &dock);
    // left, right, top, bottom, then the start and end of each along its edge.
    const uint32_t strut[12] = {0, 0, 0, uint32_t(height),   0, 0, 0, 0,
                                0, 0, 0, uint32_t(width - 1)};
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, w,
                        atom(connection_, "_NET_WM_STRUT_PARTIAL"), XCB_ATOM_CARDINAL, 32, 12,
                        strut);
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, w, atom(connection_, "_NET_WM_STRUT"),
                        XCB_ATOM_CARDINAL, 32, 4, strut);
    xcb_map_window(connection_, w);
    xcb_flush(connection_);
    window_ = w;
}

BottomPanel::~BottomPanel() {
    if (window_ != XCB_WINDOW_NONE) xcb_destroy_window(connection_, window_);
    if (connection_) {
        xcb_flush(connection_);
        xcb_disconnect(connection_);
    }
}

}  // namespace testsupport

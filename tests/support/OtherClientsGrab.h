#pragma once
// Another client of the test X server holding the keyboard, as a window manager does while it
// runs a shortcut or shows a menu, for as long as this object lives.
#include <QTest>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstdlib>

namespace testsupport {

class OtherClientsGrab {
public:
    OtherClientsGrab() : c_(xcb_connect(nullptr, nullptr)) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        // The window manager may still hold the keyboard for a shortcut just typed.
        const bool grabbed = QTest::qWaitFor(
            [&] {
                xcb_grab_keyboard_reply_t* r = xcb_grab_keyboard_reply(
                    c_,
                    xcb_grab_keyboard(c_, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC,
                                      XCB_GRAB_MODE_ASYNC),
                    nullptr);
                const bool ok = r && r->status == XCB_GRAB_STATUS_SUCCESS;
                std::free(r);
                return ok;
            },
            10000);
        EXPECT_TRUE(grabbed) << "the keyboard stayed grabbed by someone else";
    }
    ~OtherClientsGrab() { xcb_disconnect(c_); }  // which ends the grab
    OtherClientsGrab(const OtherClientsGrab&) = delete;
    OtherClientsGrab& operator=(const OtherClientsGrab&) = delete;

private:
    xcb_connection_t* c_;
};

}  // namespace testsupport

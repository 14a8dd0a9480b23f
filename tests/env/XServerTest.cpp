// The X server: a window manager announces itself the EWMH way and keeps a client list, which
// window listing relies on.
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TestEnv.h"

namespace {

struct Free {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, Free>;

class XServer : public ::testing::Test {
protected:
    void SetUp() override {
        TAVRO_REQUIRE_ENV("X server (DISPLAY)", testsupport::probeDisplay());
        int screenNum = 0;
        conn_ = xcb_connect(nullptr, &screenNum);
        ASSERT_EQ(xcb_connection_has_error(conn_), 0);
        auto it = xcb_setup_roots_iterator(xcb_get_setup(conn_));
        for (int i = 0; i < screenNum; ++i) xcb_screen_next(&it);
        root_ = it.data->root;
    }
    void TearDown() override {
        if (conn_) xcb_disconnect(conn_);
    }

    xcb_atom_t atom(const char* name) {
        auto cookie = xcb_intern_atom(conn_, 0, static_cast<uint16_t>(std::strlen(name)), name);
        Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(conn_, cookie, nullptr));
        return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
    // A property as 32-bit items, or as bytes for strings.
    std::vector<uint32_t> items(xcb_window_t w, const char* prop, xcb_atom_t type) {
        auto cookie = xcb_get_property(conn_, 0, w, atom(prop), type, 0, 4096);
        Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(conn_, cookie, nullptr));
        if (!r || r->format != 32) return {};
        const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
        return {v, v + xcb_get_property_value_length(r.get()) / 4};
    }
    std::string text(xcb_window_t w, const char* prop) {
        auto cookie = xcb_get_property(conn_, 0, w, atom(prop), atom("UTF8_STRING"), 0, 1024);
        Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(conn_, cookie, nullptr));
        if (!r || r->format != 8) return {};
        return {static_cast<const char*>(xcb_get_property_value(r.get())),
                static_cast<size_t>(xcb_get_property_value_length(r.get()))};
    }

    xcb_connection_t* conn_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
};

TEST_F(XServer, WindowManagerAnnouncesItselfAndAClientList) {
    const auto check = items(root_, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW);
    ASSERT_EQ(check.size(), 1u) << "no window manager (openbox) on the display";
    // The check window points at itself, or the property is a dead WM's leftover.
    EXPECT_EQ(items(check[0], "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW), check);
    EXPECT_FALSE(text(check[0], "_NET_WM_NAME").empty());

    const auto supported = items(root_, "_NET_SUPPORTED", XCB_ATOM_ATOM);
    for (const char* name : {"_NET_CLIENT_LIST", "_NET_WM_STATE", "_NET_ACTIVE_WINDOW"}) {
        bool found = false;
        for (uint32_t a : supported) found = found || a == atom(name);
        EXPECT_TRUE(found) << name << " is not supported by the window manager";
    }
}

}  // namespace

#include "platform/AllDesktops.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include "platform/XcbAtom.h"


namespace {

void sendToRoot(xcb_connection_t* c, xcb_window_t root, xcb_window_t w, xcb_atom_t type,
                uint32_t d0, uint32_t d1) {
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = w;
    ev.type = type;
    ev.data.data32[0] = d0;
    ev.data.data32[1] = d1;
    ev.data.data32[2] = 0;
    ev.data.data32[3] = 1;  // source: a normal application
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&ev));
}

}  // namespace

bool showOnAllDesktops(QWindow* window) {
    if (!window || !qGuiApp) return false;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return false;
    xcb_connection_t* c = x11->connection();
    const auto w = static_cast<xcb_window_t>(window->winId());

    constexpr uint32_t kAllDesktops = 0xFFFFFFFF;
    const xcb_atom_t desktop = xcbAtom(c, "_NET_WM_DESKTOP");
    if (desktop == XCB_ATOM_NONE) return false;
    if (!window->isVisible()) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, desktop, XCB_ATOM_CARDINAL, 32, 1,
                            &kAllDesktops);
    } else {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        sendToRoot(c, root, w, desktop, kAllDesktops, 0);
        constexpr uint32_t kAdd = 1;
        sendToRoot(c, root, w, xcbAtom(c, "_NET_WM_STATE"), kAdd, xcbAtom(c, "_NET_WM_STATE_STICKY"));
    }
    xcb_flush(c);
    return true;
}

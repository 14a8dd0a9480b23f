#include "platform/WindowManagerMove.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include "platform/XcbAtom.h"

#include <cstdlib>

namespace {

// Whether the window manager lists `wanted` in _NET_SUPPORTED.
bool supported(xcb_connection_t* c, xcb_window_t root, xcb_atom_t wanted) {
    const xcb_atom_t list = xcbAtom(c, "_NET_SUPPORTED");
    if (list == XCB_ATOM_NONE || wanted == XCB_ATOM_NONE) return false;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, list, XCB_ATOM_ATOM, 0, 4096), nullptr);
    if (!reply) return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
    const int count = xcb_get_property_value_length(reply) / int(sizeof(xcb_atom_t));
    bool found = false;
    for (int i = 0; i < count && !found; ++i) found = atoms[i] == wanted;
    free(reply);
    return found;
}

}  // namespace

bool moveWithWindowManager(QWindow* window, QPoint pressedAt) {
    if (!window || !qGuiApp) return false;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return window->startSystemMove();
    xcb_connection_t* c = x11->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t moveResize = xcbAtom(c, "_NET_WM_MOVERESIZE");
    if (!supported(c, root, moveResize)) return false;

    const qreal dpr = window->devicePixelRatio();
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = static_cast<xcb_window_t>(window->winId());
    ev.type = moveResize;
    ev.data.data32[0] = uint32_t(qRound(pressedAt.x() * dpr));
    ev.data.data32[1] = uint32_t(qRound(pressedAt.y() * dpr));
    ev.data.data32[2] = 8;  // _NET_WM_MOVERESIZE_MOVE
    ev.data.data32[3] = XCB_BUTTON_INDEX_1;
    ev.data.data32[4] = 1;  // source: a normal application
    // The window manager grabs the pointer for the move; the press's implicit grab is ours.
    xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&ev));
    xcb_flush(c);
    return true;
}

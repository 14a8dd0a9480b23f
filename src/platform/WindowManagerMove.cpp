#include "platform/WindowManagerMove.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
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

// As Qt maps a global position for `window`: through the screen of the window's that holds it.
QPoint native(const QWindow* window, QPoint logical) {
    QScreen* screen = window->screen();
    if (!screen) return logical;
    if (QScreen* at = screen->virtualSiblingAt(logical)) screen = at;
    return nativeGlobalPosition(logical, screen->geometry().topLeft(), screen->devicePixelRatio());
}

}  // namespace

QPoint nativeGlobalPosition(QPoint logical, QPoint screenOrigin, qreal scale) {
    return screenOrigin + (logical - screenOrigin) * scale;
}

bool moveWithWindowManager(QWindow* window, QPoint pressedAt, const QMouseEvent& now) {
    if (!window || !qGuiApp) return false;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return window->startSystemMove();
    xcb_connection_t* c = x11->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t moveResize = xcbAtom(c, "_NET_WM_MOVERESIZE");
    if (!supported(c, root, moveResize)) return false;
    const auto id = static_cast<xcb_window_t>(window->winId());

    const QPoint from = native(window, pressedAt);
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = id;
    ev.type = moveResize;
    ev.data.data32[0] = uint32_t(from.x());
    ev.data.data32[1] = uint32_t(from.y());
    ev.data.data32[2] = 8;  // _NET_WM_MOVERESIZE_MOVE
    ev.data.data32[3] = XCB_BUTTON_INDEX_1;
    ev.data.data32[4] = 1;  // source: a normal application
    // The window manager grabs the pointer for the move; the press's implicit grab is ours.
    xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&ev));

    // The release the window manager will take, told to the window now: otherwise Qt goes on
    // thinking the button is held, and sends every later motion to the widget that had the press.
    const QPoint pointer = native(window, now.globalPosition().toPoint());
    const QPoint windowAt = native(window, window->position());
    xcb_button_release_event_t release{};
    release.response_type = XCB_BUTTON_RELEASE;
    release.detail = XCB_BUTTON_INDEX_1;
    release.time = xcb_timestamp_t(now.timestamp());
    release.root = root;
    release.event = id;
    release.root_x = int16_t(pointer.x());
    release.root_y = int16_t(pointer.y());
    release.event_x = int16_t(pointer.x() - windowAt.x());
    release.event_y = int16_t(pointer.y() - windowAt.y());
    release.state = XCB_BUTTON_MASK_1;
    release.same_screen = 1;
    // No event mask: to the client that made the window, this one.
    xcb_send_event(c, 0, id, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&release));
    xcb_flush(c);
    return true;
}

#include "platform/Compositing.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include "platform/XcbAtom.h"

#include <cstdlib>

bool desktopComposites() {
    if (!qGuiApp) return true;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return true;
    xcb_connection_t* c = x11->connection();
    // A compositing manager owns the selection _NET_WM_CM_S<screen>.
    const xcb_atom_t selection = xcbAtom(c, "_NET_WM_CM_S0");
    if (selection == XCB_ATOM_NONE) return false;
    auto ownerCookie = xcb_get_selection_owner(c, selection);
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(c, ownerCookie, nullptr);
    const bool composites = owner && owner->owner != XCB_WINDOW_NONE;
    free(owner);
    return composites;
}

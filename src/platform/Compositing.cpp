#include "platform/Compositing.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <string>

bool desktopComposites() {
    if (!qGuiApp) return true;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return true;
    xcb_connection_t* c = x11->connection();
    // A compositing manager owns the selection _NET_WM_CM_S<screen>.
    const std::string name = "_NET_WM_CM_S0";
    auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.c_str());
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, cookie, nullptr);
    if (!atom) return false;
    auto ownerCookie = xcb_get_selection_owner(c, atom->atom);
    free(atom);
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(c, ownerCookie, nullptr);
    const bool composites = owner && owner->owner != XCB_WINDOW_NONE;
    free(owner);
    return composites;
}

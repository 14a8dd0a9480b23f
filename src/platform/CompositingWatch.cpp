#include "platform/CompositingWatch.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdlib>

#include "platform/Compositing.h"
#include "platform/XcbAtom.h"

CompositingWatch& CompositingWatch::shared() {
    static CompositingWatch* instance = new CompositingWatch;
    return *instance;
}

CompositingWatch::CompositingWatch() {
    if (!qGuiApp) return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return;
    xcb_connection_t* c = x11->connection();
    const xcb_query_extension_reply_t* fixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!fixes || !fixes->present) return;
    // Each client states the version it speaks before its first request.
    free(xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 1, 0), nullptr));
    selection_ = xcbAtom(c, "_NET_WM_CM_S0");
    if (selection_ == XCB_ATOM_NONE) return;
    notifyType_ = fixes->first_event + XCB_XFIXES_SELECTION_NOTIFY;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_xfixes_select_selection_input(c, root, selection_,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    xcb_flush(c);
    moveToThread(qGuiApp->thread());
    qGuiApp->installNativeEventFilter(this);
}

bool CompositingWatch::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
    if (notifyType_ < 0 || type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != notifyType_) return false;
    const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
    if (notify->selection == selection_) Q_EMIT changed(desktopComposites());
    return false;
}

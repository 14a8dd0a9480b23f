#include "platform/InputRegion.h"

#include <QGuiApplication>
#include <QRegion>
#include <QWindow>

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <vector>

bool setInputRegion(QWindow* window, const QRegion& region) {
    if (!window || !qGuiApp) return false;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) {
        window->setMask(region);
        return true;
    }
    xcb_connection_t* c = x11->connection();
    const xcb_query_extension_reply_t* shape = xcb_get_extension_data(c, &xcb_shape_id);
    if (!shape || !shape->present) return false;
    const auto w = static_cast<xcb_window_t>(window->winId());
    if (region.isEmpty()) {
        // No input shape: the window takes the pointer on all of its area again.
        xcb_shape_mask(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, w, 0, 0, XCB_NONE);
    } else {
        // The region is in device-independent pixels; the server counts device pixels.
        const qreal ratio = window->devicePixelRatio();
        std::vector<xcb_rectangle_t> rects;
        for (const QRect& r : region) {
            const QRect d(
                QPoint(qRound(r.x() * ratio), qRound(r.y() * ratio)),
                QPoint(qRound((r.right() + 1) * ratio) - 1, qRound((r.bottom() + 1) * ratio) - 1));
            rects.push_back({static_cast<int16_t>(d.x()), static_cast<int16_t>(d.y()),
                             static_cast<uint16_t>(d.width()), static_cast<uint16_t>(d.height())});
        }
        xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED, w,
                             0, 0, static_cast<uint32_t>(rects.size()), rects.data());
    }
    xcb_flush(c);
    return true;
}

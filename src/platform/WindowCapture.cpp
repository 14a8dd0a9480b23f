#include "platform/WindowCapture.h"

#include <xcb/composite.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> reply(T* r) {
    return Reply<T>(r, &std::free);
}

// ICCCM STRING properties are Latin-1.
std::string latin1ToUtf8(const char* data, int len) {
    std::string out;
    out.reserve(std::size_t(len));
    for (int i = 0; i < len; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (c < 0x80) {
            out += char(c);
        } else {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

xcb_screen_t* screenOf(xcb_connection_t* conn, int number) {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn));
    for (int i = 0; it.rem > 0; xcb_screen_next(&it), ++i)
        if (i == number) return it.data;
    return nullptr;
}

}  // namespace

struct WindowCapture::Atoms {
    xcb_atom_t clientListStacking = XCB_ATOM_NONE;
    xcb_atom_t clientList = XCB_ATOM_NONE;
    xcb_atom_t netWmName = XCB_ATOM_NONE;
    xcb_atom_t utf8String = XCB_ATOM_NONE;
    xcb_atom_t netWmPid = XCB_ATOM_NONE;
    xcb_atom_t netWmState = XCB_ATOM_NONE;
    xcb_atom_t netWmStateHidden = XCB_ATOM_NONE;
};

std::unique_ptr<WindowCapture> WindowCapture::open() {
    int screenNumber = 0;
    xcb_connection_t* conn = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(conn)) {
        xcb_disconnect(conn);
        return nullptr;
    }
    xcb_screen_t* screen = screenOf(conn, screenNumber);
    if (!screen) {
        xcb_disconnect(conn);
        return nullptr;
    }
    return std::unique_ptr<WindowCapture>(new WindowCapture(conn, screen->root));
}

bool WindowCapture::displayAvailable() {
    xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
    const bool ok = xcb_connection_has_error(conn) == 0;
    xcb_disconnect(conn);
    return ok;
}

WindowCapture::WindowCapture(xcb_connection_t* conn, std::uint32_t root)
    : conn_(conn), root_(root), atoms_(std::make_unique<Atoms>()) {
    const char* names[] = {"_NET_CLIENT_LIST_STACKING",
                           "_NET_CLIENT_LIST",
                           "_NET_WM_NAME",
                           "UTF8_STRING",
                           "_NET_WM_PID",
                           "_NET_WM_STATE",
                           "_NET_WM_STATE_HIDDEN"};
    xcb_atom_t* slots[] = {&atoms_->clientListStacking, &atoms_->clientList, &atoms_->netWmName,
                           &atoms_->utf8String,         &atoms_->netWmPid,   &atoms_->netWmState,
                           &atoms_->netWmStateHidden};
    xcb_intern_atom_cookie_t cookies[std::size(names)];
    for (std::size_t i = 0; i < std::size(names); ++i)
        cookies[i] = xcb_intern_atom(conn_, 0, std::uint16_t(std::strlen(names[i])), names[i]);
    for (std::size_t i = 0; i < std::size(names); ++i)
        if (auto r = reply(xcb_intern_atom_reply(conn_, cookies[i], nullptr))) *slots[i] = r->atom;

    // Automatic redirection keeps each top-level window's content in its own pixmap while the
    // server still draws the screen as before. It lasts as long as this connection.
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(conn_, &xcb_composite_id);
    if (ext && ext->present) {
        auto version = reply(xcb_composite_query_version_reply(
            conn_, xcb_composite_query_version(conn_, 0, 4), nullptr));
        // NameWindowPixmap needs 0.2.
        if (version && (version->major_version > 0 || version->minor_version >= 2)) {
            // Refused only when something else holds this redirection, and then a compositing
            // manager's pixmaps serve just as well.
            std::free(
                xcb_request_check(conn_, xcb_composite_redirect_subwindows_checked(
                                             conn_, root_, XCB_COMPOSITE_REDIRECT_AUTOMATIC)));
            composited_ = true;
        }
    }
}

WindowCapture::~WindowCapture() {
    xcb_disconnect(conn_);
}

std::vector<WindowInfo> WindowCapture::windows() {
    auto windowList = [&](xcb_window_t win,
                          xcb_atom_t atom) -> std::optional<std::vector<xcb_window_t>> {
        if (atom == XCB_ATOM_NONE) return std::nullopt;
        auto r = reply(xcb_get_property_reply(
            conn_, xcb_get_property(conn_, 0, win, atom, XCB_ATOM_WINDOW, 0, 1 << 16), nullptr));
        if (!r || r->type != XCB_ATOM_WINDOW || r->format != 32) return std::nullopt;
        const auto* data = static_cast<const xcb_window_t*>(xcb_get_property_value(r.get()));
        return std::vector<xcb_window_t>(data, data + xcb_get_property_value_length(r.get()) / 4);
    };
    auto hasWmClass = [&](xcb_window_t w) {
        auto r = reply(xcb_get_property_reply(
            conn_, xcb_get_property(conn_, 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 0),
            nullptr));
        return r && r->type == XCB_ATOM_STRING;
    };

    // EWMH lists run bottom to top (stacking) or oldest first; we want topmost first.
    auto ids = windowList(root_, atoms_->clientListStacking);
    if (!ids) ids = windowList(root_, atoms_->clientList);
    if (ids) {
        std::reverse(ids->begin(), ids->end());
    } else {
        // No EWMH window manager: the root's children, bottom to top, and for a reparenting
        // manager without EWMH the first child of a frame that names its class.
        ids.emplace();
        auto tree = reply(xcb_query_tree_reply(conn_, xcb_query_tree(conn_, root_), nullptr));
        if (!tree) return {};
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = xcb_query_tree_children_length(tree.get()) - 1; i >= 0; --i) {
            if (hasWmClass(children[i])) {
                ids->push_back(children[i]);
                continue;
            }
            auto sub =
                reply(xcb_query_tree_reply(conn_, xcb_query_tree(conn_, children[i]), nullptr));
            if (!sub) continue;
            const xcb_window_t* inner = xcb_query_tree_children(sub.get());
            for (int j = 0; j < xcb_query_tree_children_length(sub.get()); ++j) {
                if (hasWmClass(inner[j])) {
                    ids->push_back(inner[j]);
                    break;
                }
            }
        }
    }

    // All requests first, then all replies: one round trip instead of six per window.
    struct Pending {
        xcb_window_t id;
        xcb_get_window_attributes_cookie_t attrs;
        xcb_get_geometry_cookie_t geometry;
        xcb_get_property_cookie_t wmClass, netName, wmName, pid, state;
    };
    std::vector<Pending> pending;
    pending.reserve(ids->size());
    for (xcb_window_t id : *ids) {
        auto prop = [&](xcb_atom_t atom, xcb_atom_t type, std::uint32_t len) {
            return xcb_get_property(conn_, 0, id, atom, type, 0, len);
        };
        pending.push_back({id, xcb_get_window_attributes(conn_, id), xcb_get_geometry(conn_, id),
                           prop(XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 1024),
                           prop(atoms_->netWmName, atoms_->utf8String, 4096),
                           prop(XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 4096),
                           prop(atoms_->netWmPid, XCB_ATOM_CARDINAL, 1),
                           prop(atoms_->netWmState, XCB_ATOM_ATOM, 64)});
    }

    std::vector<WindowInfo> out;
    for (const Pending& p : pending) {
        auto attrs = reply(xcb_get_window_attributes_reply(conn_, p.attrs, nullptr));
        auto geometry = reply(xcb_get_geometry_reply(conn_, p.geometry, nullptr));
        auto wmClass = reply(xcb_get_property_reply(conn_, p.wmClass, nullptr));
        auto netName = reply(xcb_get_property_reply(conn_, p.netName, nullptr));
        auto wmName = reply(xcb_get_property_reply(conn_, p.wmName, nullptr));
        auto pid = reply(xcb_get_property_reply(conn_, p.pid, nullptr));
        auto state = reply(xcb_get_property_reply(conn_, p.state, nullptr));
        if (!attrs || !geometry) continue;  // gone meanwhile
        if (attrs->map_state != XCB_MAP_STATE_VIEWABLE ||
            attrs->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT)
            continue;
        if (state && state->format == 32) {
            const auto* s = static_cast<const xcb_atom_t*>(xcb_get_property_value(state.get()));
            const int n = xcb_get_property_value_length(state.get()) / 4;
            if (std::find(s, s + n, atoms_->netWmStateHidden) != s + n) continue;
        }

        WindowInfo info;
        info.id = p.id;
        info.width = geometry->width;
        info.height = geometry->height;
        if (wmClass && wmClass->type == XCB_ATOM_STRING && wmClass->format == 8) {
            const char* v = static_cast<const char*>(xcb_get_property_value(wmClass.get()));
            const int len = xcb_get_property_value_length(wmClass.get());
            // Two NUL-terminated strings: instance, then class.
            const char* end = v + len;
            const char* nul = std::find(v, end, '\0');
            info.wmInstance = latin1ToUtf8(v, int(nul - v));
            if (nul != end) {
                const char* second = nul + 1;
                info.wmClass = latin1ToUtf8(second, int(std::find(second, end, '\0') - second));
            }
        }
        if (netName && netName->format == 8 && netName->type == atoms_->utf8String) {
            info.title.assign(static_cast<const char*>(xcb_get_property_value(netName.get())),
                              std::size_t(xcb_get_property_value_length(netName.get())));
        } else if (wmName && wmName->format == 8 && wmName->type != XCB_ATOM_NONE) {
            const char* v = static_cast<const char*>(xcb_get_property_value(wmName.get()));
            const int len = xcb_get_property_value_length(wmName.get());
            if (wmName->type == atoms_->utf8String)
                info.title.assign(v, std::size_t(len));
            else
                info.title = latin1ToUtf8(v, len);
        }
        if (pid && pid->type == XCB_ATOM_CARDINAL && pid->format == 32 &&
            xcb_get_property_value_length(pid.get()) >= 4)
            info.pid = *static_cast<const std::uint32_t*>(xcb_get_property_value(pid.get()));
        out.push_back(std::move(info));
    }
    return out;
}

std::optional<GrayImage> WindowCapture::screenshot(std::uint32_t window) {
    auto geometry = reply(xcb_get_geometry_reply(conn_, xcb_get_geometry(conn_, window), nullptr));
    if (!geometry || geometry->width == 0 || geometry->height == 0) return std::nullopt;
    const int w = geometry->width;
    const int h = geometry->height;

    Reply<xcb_get_image_reply_t> image = reply<xcb_get_image_reply_t>(nullptr);
    if (composited_) {
        // The pixmap belongs to the top-level window (the manager's frame, if any); the client
        // sits inside it at an offset.
        xcb_window_t top = window;
        for (;;) {
            auto tree = reply(xcb_query_tree_reply(conn_, xcb_query_tree(conn_, top), nullptr));
            if (!tree) return std::nullopt;
            if (tree->parent == root_ || tree->parent == XCB_WINDOW_NONE) break;
            top = tree->parent;
        }
        auto topGeometry =
            reply(xcb_get_geometry_reply(conn_, xcb_get_geometry(conn_, top), nullptr));
        auto offset = reply(xcb_translate_coordinates_reply(
            conn_, xcb_translate_coordinates(conn_, window, top, 0, 0), nullptr));
        if (topGeometry && offset) {
            const xcb_pixmap_t pixmap = xcb_generate_id(conn_);
            xcb_generic_error_t* err = xcb_request_check(
                conn_, xcb_composite_name_window_pixmap_checked(conn_, top, pixmap));
            if (!err) {
                // The pixmap includes the top-level window's border.
                const int bw = topGeometry->border_width;
                image = reply(xcb_get_image_reply(
                    conn_,
                    xcb_get_image(
                        conn_, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, std::int16_t(offset->dst_x + bw),
                        std::int16_t(offset->dst_y + bw), std::uint16_t(w), std::uint16_t(h), ~0u),
                    nullptr));
                xcb_free_pixmap(conn_, pixmap);
            }
            std::free(err);
        }
    }
    if (!image) {
        image = reply(xcb_get_image_reply(conn_,
                                          xcb_get_image(conn_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0,
                                                        0, std::uint16_t(w), std::uint16_t(h), ~0u),
                                          nullptr));
    }
    if (!image) return std::nullopt;

    // Only 32 bits per pixel (depth 24 or 32) is read: what every true-colour X server uses.
    const xcb_setup_t* setup = xcb_get_setup(conn_);
    int bpp = 0;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it))
        if (it.data->depth == image->depth) bpp = it.data->bits_per_pixel;
    if (bpp != 32) return std::nullopt;
    const std::size_t stride = std::size_t(w) * 4;
    if (std::size_t(xcb_get_image_data_length(image.get())) < stride * std::size_t(h))
        return std::nullopt;

    const bool msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    const std::uint8_t* data = xcb_get_image_data(image.get());
    GrayImage out;
    out.width = w;
    out.height = h;
    out.pixels.resize(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = data + std::size_t(y) * stride;
        std::uint8_t* dst = out.pixels.data() + std::size_t(y) * std::size_t(w);
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* px = row + std::size_t(x) * 4;
            // Pixel value 0x??RRGGBB, stored least significant byte first unless the server says
            // MSB.
            const int b = msbFirst ? px[3] : px[0];
            const int g = msbFirst ? px[2] : px[1];
            const int r = msbFirst ? px[1] : px[2];
            dst[x] = std::uint8_t((77 * r + 150 * g + 29 * b) >> 8);
        }
    }
    return out;
}

#include "platform/XSettings.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>

#include "platform/XcbAtom.h"

namespace XSettings {

namespace {

// Reads the list in the byte order its first byte names.
struct Reader {
    std::string_view bytes;
    bool bigEndian = false;
    std::size_t at = 0;

    bool has(std::size_t n) const { return at + n <= bytes.size(); }
    std::uint32_t number(std::size_t width) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < width; ++i) {
            const auto byte = static_cast<std::uint8_t>(bytes[at + i]);
            v |= std::uint32_t(byte) << (8 * (bigEndian ? width - 1 - i : i));
        }
        at += width;
        return v;
    }
    // Strings are padded to four bytes.
    static std::size_t padded(std::size_t n) { return (n + 3) & ~std::size_t(3); }
};

}  // namespace

std::optional<std::map<std::string, std::string>> parse(std::string_view bytes) {
    Reader r{bytes};
    if (!r.has(12)) return std::nullopt;
    r.bigEndian = bytes[0] == 1;
    r.at = 4;
    r.number(4);  // serial
    const std::uint32_t count = r.number(4);
    std::map<std::string, std::string> texts;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!r.has(4)) return std::nullopt;
        const auto type = static_cast<std::uint8_t>(bytes[r.at]);
        r.at += 2;
        const std::size_t nameLength = r.number(2);
        if (!r.has(Reader::padded(nameLength) + 4)) return std::nullopt;
        std::string name(bytes.substr(r.at, nameLength));
        r.at += Reader::padded(nameLength) + 4;  // and the serial of its last change
        switch (type) {
            case 0:  // integer
                if (!r.has(4)) return std::nullopt;
                r.at += 4;
                break;
            case 1: {  // string
                if (!r.has(4)) return std::nullopt;
                const std::size_t length = r.number(4);
                if (!r.has(Reader::padded(length))) return std::nullopt;
                texts[name] = std::string(bytes.substr(r.at, length));
                r.at += Reader::padded(length);
                break;
            }
            case 2:  // colour: four 16-bit channels
                if (!r.has(8)) return std::nullopt;
                r.at += 8;
                break;
            default:
                return std::nullopt;
        }
    }
    return texts;
}

std::optional<std::string> text(const std::string& name) {
    // Also asked from programs without a GUI.
    auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = gui ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return std::nullopt;
    xcb_connection_t* c = x11->connection();
    const xcb_atom_t selection = xcbAtom(c, "_XSETTINGS_S0");
    const xcb_atom_t property = xcbAtom(c, "_XSETTINGS_SETTINGS");
    if (selection == XCB_ATOM_NONE || property == XCB_ATOM_NONE) return std::nullopt;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    const xcb_window_t window = owner ? owner->owner : xcb_window_t(XCB_WINDOW_NONE);
    free(owner);
    if (window == XCB_WINDOW_NONE) return std::nullopt;
    // A list larger than 256 KiB is no settings list.
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, property, 0, 65536), nullptr);
    if (!reply) return std::nullopt;
    const std::string_view bytes(static_cast<const char*>(xcb_get_property_value(reply)),
                                 std::size_t(xcb_get_property_value_length(reply)));
    auto texts = parse(bytes);
    free(reply);
    if (!texts) return std::nullopt;
    const auto found = texts->find(name);
    if (found == texts->end()) return std::nullopt;
    return found->second;
}

}  // namespace XSettings

#include "service/Base64Url.h"

#include <cstdint>

namespace base64url {

namespace {

int sextet(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '-') return 62;
    if (c == '_') return 63;
    return -1;
}

}  // namespace

std::optional<std::string> decode(std::string_view text) {
    std::size_t padding = 0;
    while (padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
    if (padding > 2 || (padding > 0 && text.size() % 4 != 0)) return std::nullopt;
    const std::string_view data = text.substr(0, text.size() - padding);
    // One sextet alone cannot carry a byte.
    if (data.size() % 4 == 1) return std::nullopt;

    std::string out;
    out.reserve(data.size() * 3 / 4);
    std::uint32_t buffer = 0;
    int bits = 0;
    for (char c : data) {
        const int value = sextet(c);
        if (value < 0) return std::nullopt;
        buffer = (buffer << 6) | static_cast<std::uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((buffer >> bits) & 0xFF));
        }
    }
    return out;
}

}  // namespace base64url

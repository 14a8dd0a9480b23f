#include "platform/WindowButtonLayout.h"

#include <algorithm>

namespace {

std::string_view trimmed(std::string_view s) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!s.empty() && space(s.front())) s.remove_prefix(1);
    while (!s.empty() && space(s.back())) s.remove_suffix(1);
    return s;
}

std::optional<WindowButton> buttonNamed(std::string_view name) {
    if (name == "minimize") return WindowButton::minimize;
    if (name == "maximize") return WindowButton::maximize;
    if (name == "close") return WindowButton::close;
    return std::nullopt;
}

}  // namespace

WindowButtonLayout WindowButtonLayout::standard() {
    return {{}, {WindowButton::minimize, WindowButton::maximize, WindowButton::close}};
}

std::optional<WindowButtonLayout> WindowButtonLayout::parse(std::string_view text) {
    WindowButtonLayout layout;
    std::vector<WindowButton> seen;
    // A text without a colon is the left side alone.
    const std::size_t colon = text.find(':');
    const std::string_view sides[] = {text.substr(0, colon), colon == std::string_view::npos
                                                                 ? std::string_view()
                                                                 : text.substr(colon + 1)};
    std::vector<WindowButton>* into[] = {&layout.left, &layout.right};
    for (int side = 0; side < 2; ++side) {
        std::string_view rest = sides[side];
        while (!rest.empty()) {
            const std::size_t comma = rest.find(',');
            const auto button = buttonNamed(trimmed(rest.substr(0, comma)));
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
            if (!button || std::find(seen.begin(), seen.end(), *button) != seen.end()) continue;
            seen.push_back(*button);
            into[side]->push_back(*button);
        }
    }
    if (seen.empty()) return std::nullopt;
    return layout;
}

#include "platform/WindowButtonLayout.h"

#include <algorithm>
#include <string>

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

// Spells letter layouts out in the text form parse() reads; each of the last three holds the
// letters that stand for that button.
std::string lettersAsText(std::string_view left, std::string_view right, std::string_view minimize,
                          std::string_view maximize, std::string_view close) {
    std::string text;
    const auto side = [&](std::string_view letters) {
        for (const char c : letters) {
            if (minimize.find(c) != std::string_view::npos) text += "minimize,";
            if (maximize.find(c) != std::string_view::npos) text += "maximize,";
            if (close.find(c) != std::string_view::npos) text += "close,";
        }
    };
    side(left);
    text += ':';
    side(right);
    return text;
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

std::optional<WindowButtonLayout> WindowButtonLayout::fromKwin(std::string_view onLeft,
                                                               std::string_view onRight) {
    return parse(lettersAsText(onLeft, onRight, "I", "A", "X"));
}

std::optional<WindowButtonLayout> WindowButtonLayout::fromXfwm(std::string_view text) {
    // Without a title mark every button sits on the left, as in the desktop's own text.
    const std::size_t bar = text.find('|');
    if (bar == std::string_view::npos) return parse(lettersAsText(text, {}, "H", "M", "C"));
    return parse(lettersAsText(text.substr(0, bar), text.substr(bar + 1), "H", "M", "C"));
}

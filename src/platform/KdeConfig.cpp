#include "platform/KdeConfig.h"

namespace {

std::string_view trimmed(std::string_view s) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && space(s.front())) s.remove_prefix(1);
    while (!s.empty() && space(s.back())) s.remove_suffix(1);
    return s;
}

// Without trailing option marks such as "[$i]" (immutable), which do not change the name.
std::string_view withoutOptions(std::string_view s) {
    while (s.ends_with(']')) {
        const std::size_t open = s.rfind("[$");
        if (open == std::string_view::npos) break;
        s = trimmed(s.substr(0, open));
    }
    return s;
}

}  // namespace

std::optional<std::string> KdeConfig::entry(std::string_view text, std::string_view group,
                                            std::string_view key) {
    std::optional<std::string> found;
    bool inGroup = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            const std::string_view name = withoutOptions(line);
            inGroup = name.size() == group.size() + 2 && name.substr(1, group.size()) == group;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!inGroup || eq == std::string_view::npos) continue;
        // A language tag ("Key[de]") makes another entry; option marks ("Key[$i]") do not.
        if (withoutOptions(trimmed(line.substr(0, eq))) != key) continue;
        found = std::string(trimmed(line.substr(eq + 1)));
    }
    return found;
}

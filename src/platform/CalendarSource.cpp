#include "platform/CalendarSource.h"

#include <cctype>

std::vector<double> parseCalendarColor(std::string_view text) {
    if (text.size() < 2 || text.front() != '#') return {};
    const std::string_view hex = text.substr(1);
    if (hex.size() % 3 != 0 || hex.size() > 12) return {};
    for (char c : hex) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
    }
    const std::size_t width = hex.size() / 3;
    const double maxValue = static_cast<double>((1ULL << (4 * width)) - 1);
    std::vector<double> components;
    for (std::size_t i = 0; i < 3; ++i) {
        const unsigned long long v =
            std::stoull(std::string(hex.substr(i * width, width)), nullptr, 16);
        components.push_back(static_cast<double>(v) / maxValue);
    }
    components.push_back(1.0);
    return components;
}

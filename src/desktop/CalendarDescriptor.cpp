#include "desktop/CalendarDescriptor.h"

#include <cmath>
#include <cstdio>

#include "util/Hash.h"

namespace {

int channel(double c) {
    if (c >= 1.0) return 255;
    // Below zero, and a value that is no number at all, give no light.
    if (!(c > 0.0)) return 0;
    return static_cast<int>(c * 255.0);
}

}  // namespace

std::optional<std::string> calendarColorHex(const std::vector<double>& components) {
    if (components.size() < 2) return std::nullopt;
    const bool grey = components.size() == 2;
    const int r = channel(components[0]);
    const int g = channel(grey ? components[0] : components[1]);
    const int b = channel(grey ? components[0] : components[2]);
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", r, g, b);
    return std::string(buf);
}

CalendarDescriptor makeCalendarDescriptor(const CalendarSource& calendar) {
    return CalendarDescriptor{calendar.identifier, calendar.title, calendar.sourceTitle,
                              calendarColorHex(calendar.colorComponents),
                              !calendar.allowsContentModifications};
}

std::size_t std::hash<CalendarDescriptor>::operator()(const CalendarDescriptor& v) const noexcept {
    return hashing::of(v.id, v.title, v.sourceTitle, v.colorHex, v.isReadOnly);
}

#pragma once
// One calendar as the settings list it, with its selection box.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/CalendarSource.h"

struct CalendarDescriptor {
    std::string id;
    std::string title;
    std::string sourceTitle;
    std::optional<std::string> colorHex;
    bool isReadOnly = false;

    bool operator==(const CalendarDescriptor&) const = default;
};

template <>
struct std::hash<CalendarDescriptor> {
    std::size_t operator()(const CalendarDescriptor& v) const noexcept;
};

CalendarDescriptor makeCalendarDescriptor(const CalendarSource& calendar);

// "#RRGGBB" of colour components (red, green, blue[, alpha], or grey and alpha); absent with
// fewer than two components.
std::optional<std::string> calendarColorHex(const std::vector<double>& components);

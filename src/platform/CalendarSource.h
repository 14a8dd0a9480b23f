#pragma once
// One event calendar of the store.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CalendarSource {
    std::string identifier;
    std::string title;
    // The account the calendar belongs to.
    std::string sourceTitle;
    // Colour components in 0…1: red, green, blue, alpha. Empty when the calendar has no colour.
    std::vector<double> colorComponents;
    bool allowsContentModifications = true;

    bool operator==(const CalendarSource&) const = default;
};

// Reads a colour as calendar stores write it ("#rgb", "#rrggbb", "#rrrrggggbbbb") into
// red, green, blue and alpha components. Empty for anything else.
std::vector<double> parseCalendarColor(std::string_view text);

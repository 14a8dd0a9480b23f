#pragma once
// ISO-8601 internet date-times as stored in files and sent to the service, and local stamps.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

using Timestamp = std::chrono::system_clock::time_point;

namespace iso8601 {

// Strict reader: "YYYY-MM-DDTHH:MM:SS" followed by "Z" or "+hh:mm"/"-hh:mm". A fraction of a
// second, a missing zone, or any other form gives nullopt, and so does a date outside the range
// of Timestamp (about 1678 to 2261).
std::optional<Timestamp> parse(std::string_view text);

// Writer: UTC, whole seconds (the fraction is dropped, not rounded), zone letter "Z".
std::string format(Timestamp t);

}  // namespace iso8601

namespace localzone {

// Formats `t` in the process's current time zone with an strftime pattern,
// e.g. "%Y-%m-%d_%H%M".
std::string format(Timestamp t, const char* strftimePattern);

// Year and month (1-12) of `t` in the current time zone.
struct YearMonth {
    int year;
    int month;
    bool operator==(const YearMonth&) const = default;
};
YearMonth yearMonth(Timestamp t);

}  // namespace localzone

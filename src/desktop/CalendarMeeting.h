#pragma once
// One upcoming event as the desktop shows and tracks it.
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "desktop/MeetingAttendee.h"
#include "desktop/MeetingVideoProvider.h"
#include "platform/CalendarEvent.h"

struct CalendarMeeting {
    std::string id;
    std::optional<std::string> eventIdentifier;
    std::string title;
    std::chrono::system_clock::time_point startDate;
    std::chrono::system_clock::time_point endDate;
    bool isAllDay = false;
    std::string calendarID;
    std::string calendarTitle;
    std::optional<std::string> location;
    std::optional<std::string> notes;
    std::optional<MeetingAttendee> organizer;
    std::vector<MeetingAttendee> attendees;
    std::optional<std::string> meetingURL;
    std::optional<MeetingVideoProvider> videoProvider;
    bool hasRecurrence = false;

    bool operator==(const CalendarMeeting&) const = default;
};

template <>
struct std::hash<CalendarMeeting> {
    std::size_t operator()(const CalendarMeeting& v) const noexcept;
};

// The event must have a start; one without is shown at its end.
CalendarMeeting makeMeeting(const CalendarEvent& event);

// Seconds since 1970 in the shortest decimal form that reads back to the same double, with
// ".0" on whole seconds: the time part of meeting keys.
std::string meetingStartText(std::chrono::system_clock::time_point start);

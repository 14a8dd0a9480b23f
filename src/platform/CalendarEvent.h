#pragma once
// One event occurrence as the calendar store hands it out: what the calendar said, without
// any of the desktop's presentation rules applied.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/CalendarParticipant.h"

enum class CalendarEventStatus { none = 0, confirmed = 1, tentative = 2, canceled = 3 };

struct CalendarEvent {
    // Stable across stores and occurrences (the iCalendar UID).
    std::optional<std::string> externalIdentifier;
    // This occurrence within the store (UID, plus RECURRENCE-ID for an occurrence of a series).
    std::optional<std::string> eventIdentifier;
    std::optional<std::string> title;
    std::optional<std::chrono::system_clock::time_point> startDate;
    std::chrono::system_clock::time_point endDate;
    bool isAllDay = false;
    CalendarEventStatus status = CalendarEventStatus::none;
    std::string calendarIdentifier;
    std::string calendarTitle;
    std::optional<std::string> url;
    std::optional<std::string> location;
    std::optional<std::string> notes;
    std::optional<CalendarParticipant> organizer;
    std::vector<CalendarParticipant> attendees;
    bool hasRecurrenceRules = false;

    bool operator==(const CalendarEvent&) const = default;
};

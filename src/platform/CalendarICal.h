#pragma once
// iCalendar (libical) → CalendarEvent. Kept free of the calendar service so that the mapping
// can be checked from iCalendar text alone.
#include <libical/ical.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/CalendarEvent.h"

struct CalendarICalContext {
    std::string calendarIdentifier;
    std::string calendarTitle;
    // iCalendar has no "this is you" flag: an attendee is the current user when its address is
    // one of these (compared without "mailto:" and case-insensitively).
    std::vector<std::string> userAddresses;
    // Zone for floating times and all-day dates; nullptr means the system's zone.
    icaltimezone* defaultZone = nullptr;
};

struct CalendarOccurrence {
    std::chrono::system_clock::time_point start;
    std::chrono::system_clock::time_point end;
};

// One VEVENT. `occurrence` carries the times of one expanded occurrence of a series; without
// it the component's own DTSTART/DTEND (or DURATION) are used.
CalendarEvent calendarEventFromICal(icalcomponent* vevent, const CalendarICalContext& context,
                                    const std::optional<CalendarOccurrence>& occurrence = {});

// Every VEVENT of iCalendar text (a VCALENDAR, or a lone VEVENT), in order.
std::vector<CalendarEvent> calendarEventsFromICalText(std::string_view text,
                                                      const CalendarICalContext& context);

// An iCalendar time as a point in time: UTC and zoned times as they are, floating times and
// dates in `fallbackZone`.
std::chrono::system_clock::time_point calendarTimePoint(icaltimetype time,
                                                        icaltimezone* fallbackZone);

// The address without a leading "mailto:" (any case), lower-cased ASCII.
std::string normalizedCalendarAddress(std::string_view address);

// The process's local zone as libical knows it: $TZ when it names a zone, else the system's
// configured zone, else UTC. Calendar libraries ignore $TZ on their own.
icaltimezone* systemICalTimeZone();

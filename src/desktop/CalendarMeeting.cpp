#include "desktop/CalendarMeeting.h"

#include <charconv>

#include "desktop/MeetingLink.h"
#include "util/Hash.h"

std::string meetingStartText(std::chrono::system_clock::time_point start) {
    // Whole seconds and the fraction apart: one division of the nanosecond count would round
    // away digits that a double of seconds keeps.
    const auto since = start.time_since_epoch();
    const auto whole = std::chrono::floor<std::chrono::seconds>(since);
    const double seconds =
        static_cast<double>(whole.count()) + std::chrono::duration<double>(since - whole).count();
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, seconds, std::chars_format::fixed);
    std::string text(buf, result.ptr);
    if (text.find('.') == std::string::npos) text += ".0";
    return text;
}

CalendarMeeting makeMeeting(const CalendarEvent& event) {
    CalendarMeeting m;
    const auto start = event.startDate.value_or(event.endDate);
    const std::string startText = meetingStartText(start);
    for (const CalendarParticipant& p : event.attendees) m.attendees.push_back(makeAttendee(p));
    m.meetingURL = extractMeetingURL(event);
    std::string base;
    if (event.externalIdentifier) {
        base = *event.externalIdentifier;
    } else if (event.eventIdentifier) {
        base = *event.eventIdentifier;
    } else {
        base = event.calendarIdentifier + "-" + startText + "-" + event.title.value_or("");
    }
    m.id = base + "-" + startText;
    m.eventIdentifier = event.eventIdentifier;
    m.title = event.title.value_or("名称未設定の予定");
    m.startDate = start;
    m.endDate = event.endDate;
    m.isAllDay = event.isAllDay;
    m.calendarID = event.calendarIdentifier;
    m.calendarTitle = event.calendarTitle;
    m.location = event.location;
    m.notes = event.notes;
    if (event.organizer) m.organizer = makeAttendee(*event.organizer);
    m.videoProvider = meetingVideoProvider(m.meetingURL);
    m.hasRecurrence = event.hasRecurrenceRules;
    return m;
}

std::size_t std::hash<CalendarMeeting>::operator()(const CalendarMeeting& v) const noexcept {
    return hashing::of(v.id, v.eventIdentifier, v.title, v.startDate.time_since_epoch().count(),
                       v.endDate.time_since_epoch().count(), v.isAllDay, v.calendarID,
                       v.calendarTitle, v.location, v.notes, v.organizer, v.attendees, v.meetingURL,
                       v.videoProvider, v.hasRecurrence);
}

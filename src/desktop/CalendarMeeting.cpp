#include "desktop/CalendarMeeting.h"

#include <charconv>

#include "desktop/MeetingLink.h"

std::string meetingStartText(std::chrono::system_clock::time_point start) {
    const double seconds = std::chrono::duration<double>(start.time_since_epoch()).count();
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

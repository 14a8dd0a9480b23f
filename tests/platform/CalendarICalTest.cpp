#include "platform/CalendarICal.h"
#include "platform/CalendarSource.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;

std::chrono::system_clock::time_point at(time_t secs) {
    return std::chrono::system_clock::from_time_t(secs);
}

std::string calendar(const std::string& body) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + body + "END:VCALENDAR\r\n";
}

CalendarEvent one(const std::string& props, CalendarICalContext context = {}) {
    if (context.userAddresses.empty()) context.userAddresses = {"Me@Example.com"};
    auto events = calendarEventsFromICalText(
        calendar("BEGIN:VEVENT\r\n" + props + "END:VEVENT\r\n"), context);
    EXPECT_EQ(events.size(), 1u);
    return events.empty() ? CalendarEvent{} : events.front();
}

TEST(CalendarICal, TimesAndZones) {
    testsupport::ScopedTimeZone tz("Asia/Tokyo");
    // 2026-12-07 10:00 in Tokyo is 01:00 UTC: 1796605200.
    const struct {
        const char* name;
        std::string props;
        std::optional<time_t> start;
        time_t end;
        bool allDay;
    } cases[] = {
        {"utc", "DTSTART:20261207T010000Z\r\nDTEND:20261207T020000Z\r\n", 1796605200, 1796608800,
         false},
        {"named zone", "DTSTART;TZID=Europe/Berlin:20261207T020000\r\nDURATION:PT30M\r\n",
         1796605200, 1796607000, false},
        {"floating is local", "DTSTART:20261207T100000\r\nDTEND:20261207T103000\r\n", 1796605200,
         1796607000, false},
        {"date is all day, local midnight", "DTSTART;VALUE=DATE:20261207\r\n", 1796569200,
         1796655600, true},
        {"no end lasts no time", "DTSTART:20261207T010000Z\r\n", 1796605200, 1796605200, false},
        {"no start", "SUMMARY:x\r\n", std::nullopt, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CalendarEvent e = one("UID:u\r\n" + c.props);
        ASSERT_EQ(e.startDate.has_value(), c.start.has_value());
        if (c.start) {
            EXPECT_EQ(*e.startDate, at(*c.start));
            EXPECT_EQ(e.endDate, at(c.end));
        }
        EXPECT_EQ(e.isAllDay, c.allDay);
    }
}

TEST(CalendarICal, EventFields) {
    const CalendarEvent e =
        one("UID:abc@host\r\nDTSTART:20261207T010000Z\r\nRECURRENCE-ID:20261207T010000Z\r\n"
            "STATUS:CANCELLED\r\nDESCRIPTION:line1\\nline2\r\n"
            "ORGANIZER;CN=Olivia:mailto:olivia@example.com\r\n"
            "ATTENDEE;CN=Olivia;PARTSTAT=ACCEPTED:mailto:olivia@example.com\r\n"
            "ATTENDEE;CN=;ROLE=X-ODD:urn:uuid:1\r\n");
    EXPECT_EQ(e.eventIdentifier, "abc@host-20261207T010000Z");
    EXPECT_EQ(e.status, CalendarEventStatus::canceled);
    EXPECT_EQ(e.notes, "line1\nline2");  // unescaped
    EXPECT_TRUE(e.hasRecurrenceRules);
    // Defaults of an attendee without PARTSTAT or CN; an odd role is unknown.
    ASSERT_EQ(e.attendees.size(), 2u);
    EXPECT_EQ(e.attendees[1],
              (CalendarParticipant{"urn:uuid:1", std::nullopt, false, ParticipantStatus::pending,
                                   ParticipantRole::unknown}));
    // The organiser is the chair, with the reply of its own attendee line.
    EXPECT_EQ(e.organizer,
              (CalendarParticipant{"mailto:olivia@example.com", "Olivia", false,
                                   ParticipantStatus::accepted, ParticipantRole::chair}));

    const CalendarEvent bare = one("DTSTART:20261207T010000Z\r\nSUMMARY:\r\n");
    EXPECT_EQ(bare.eventIdentifier, std::nullopt);
    EXPECT_EQ(bare.title, std::nullopt);
    EXPECT_EQ(bare.status, CalendarEventStatus::none);
    EXPECT_FALSE(bare.organizer);
    EXPECT_TRUE(calendarEventsFromICalText("not a calendar", {}).empty());
}

// A series is one event; an expanded occurrence takes its own times and names itself by them.
TEST(CalendarICal, OccurrenceOfASeries) {
    const std::string vevent =
        "BEGIN:VEVENT\r\nUID:series\r\nDTSTART:20261207T010000Z\r\n"
        "RRULE:FREQ=DAILY;COUNT=3\r\nEND:VEVENT\r\n";
    auto events = calendarEventsFromICalText(calendar(vevent), {});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].hasRecurrenceRules);
    EXPECT_EQ(events[0].eventIdentifier, "series");

    std::unique_ptr<icalcomponent, decltype(&icalcomponent_free)> comp(
        icalparser_parse_string(vevent.c_str()), &icalcomponent_free);
    const CalendarOccurrence second{at(1796605200) + 24h, at(1796605200) + 25h};
    const CalendarEvent e = calendarEventFromICal(comp.get(), {}, second);
    EXPECT_EQ(e.startDate, second.start);
    EXPECT_EQ(e.endDate, second.end);
    EXPECT_EQ(e.eventIdentifier, "series-20261208T010000Z");
}

TEST(CalendarICal, CurrentUserIsMatchedByTheAccountsAddresses) {
    const struct {
        std::vector<std::string> addresses;
        std::string attendee;
        bool isMe;
    } cases[] = {
        {{"me@example.com"}, "mailto:me@example.com", true},
        {{"mailto:ME@example.com"}, "mailto:me@EXAMPLE.com", true},
        {{"other@example.com", "me@example.com"}, "me@example.com", true},
        {{"me@example.com"}, "mailto:me@example.org", false},
        {{"x"}, "mailto:", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.attendee);
        CalendarICalContext context;
        context.userAddresses = c.addresses;
        const CalendarEvent e =
            one("UID:u\r\nDTSTART:20261207T010000Z\r\nATTENDEE:" + c.attendee + "\r\n", context);
        ASSERT_EQ(e.attendees.size(), 1u);
        EXPECT_EQ(e.attendees[0].isCurrentUser, c.isMe);
    }
}

TEST(CalendarSource, ParsesStoreColours) {
    EXPECT_EQ(parseCalendarColor("#FF8000"), (std::vector<double>{1.0, 128.0 / 255, 0.0, 1.0}));
    EXPECT_EQ(parseCalendarColor("#f00"), (std::vector<double>{1.0, 0.0, 0.0, 1.0}));
    EXPECT_EQ(parseCalendarColor("#ffff00000000"), (std::vector<double>{1.0, 0.0, 0.0, 1.0}));
    for (const char* bad : {"", "#", "red", "#12345", "#gg0000", "FF8000"})
        EXPECT_TRUE(parseCalendarColor(bad).empty()) << bad;
}

}  // namespace

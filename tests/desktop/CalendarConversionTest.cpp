// The pure conversions from what a calendar holds to what the desktop shows, from iCalendar
// text.
#include <gtest/gtest.h>

#include <cmath>

#include "desktop/CalendarDescriptor.h"
#include "desktop/CalendarMeeting.h"
#include "desktop/MeetingLink.h"
#include "platform/CalendarICal.h"

namespace {

// One event at 2026-12-07 01:00 UTC, with the given lines.
CalendarEvent event(const std::string& props) {
    CalendarICalContext context;
    context.calendarIdentifier = "cal";
    context.userAddresses = {"me@example.com"};
    const auto events = calendarEventsFromICalText(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nDTSTART:20261207T010000Z\r\n" + props +
            "END:VEVENT\r\nEND:VCALENDAR\r\n",
        context);
    EXPECT_EQ(events.size(), 1u);
    return events.empty() ? CalendarEvent{} : events.front();
}

TEST(MeetingLink, FindsTheFirstMeetingLink) {
    using P = MeetingVideoProvider;
    const struct {
        std::string props;
        std::optional<std::string> url;
        std::optional<P> provider;
    } cases[] = {
        {"DESCRIPTION:Join (https://zoom.us/j/1?pwd=x).", "https://zoom.us/j/1?pwd=x", P::zoom},
        {"LOCATION:HTTPS://MEET.GOOGLE.COM/a-b-c", "HTTPS://MEET.GOOGLE.COM/a-b-c", P::googleMeet},
        {"LOCATION:https://us02web.zoom.us/j/9", "https://us02web.zoom.us/j/9", P::zoom},
        {"URL:https://eu.teams.microsoft.com/l/1", "https://eu.teams.microsoft.com/l/1",
         P::microsoftTeams},
        // A Meet subdomain is no meeting; the search goes on.
        {"DESCRIPTION:https://x.meet.google.com/a https://zoom.us/j/2", "https://zoom.us/j/2",
         P::zoom},
        {"DESCRIPTION:https://notzoom.us/j/1 https://example.com/zoom.us", std::nullopt,
         std::nullopt},
        {"URL:https://teams.microsoft.com/l/1\r\nLOCATION:https://zoom.us/j/3\r\n"
         "DESCRIPTION:https://meet.google.com/n",
         "https://teams.microsoft.com/l/1", P::microsoftTeams},
        {"LOCATION:Room https://zoom.us/j/4\r\nDESCRIPTION:https://meet.google.com/n",
         "https://zoom.us/j/4", P::zoom},
        {"DESCRIPTION:https://zoom.us/j/6　会議室", "https://zoom.us/j/6", P::zoom},
        {"DESCRIPTION:<a href=\"https://zoom.us/j/7\">join</a>", "https://zoom.us/j/7", P::zoom},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.props);
        const CalendarMeeting m = makeMeeting(event("UID:u\r\n" + c.props + "\r\n"));
        EXPECT_EQ(m.meetingURL, c.url);
        EXPECT_EQ(m.videoProvider, c.provider);
    }
}

TEST(MeetingAttendee, FromParticipants) {
    const struct {
        std::string line;
        MeetingAttendee expected;
    } cases[] = {
        {"ROLE=OPT-PARTICIPANT:mailto:bob%2Bcal@example.com",
         {"mailto:bob%2Bcal@example.com", "bob+cal@example.com", "bob+cal@example.com", false,
          "未回答", "任意"}},
        {"PARTSTAT=TENTATIVE:mailto:carol%zz@example.com",
         {"mailto:carol%zz@example.com", "名前未設定", std::nullopt, false, "仮承諾", "必須"}},
        {"CN=Me;PARTSTAT=DECLINED:MAILTO:me@example.com",
         {"MAILTO:me@example.com", "Me", "me@example.com", true, "不参加", "必須"}},
        // libical reads the standard spelling as an extension value.
        {"PARTSTAT=IN-PROCESS:mailto:f@example.com",
         {"mailto:f@example.com", "f@example.com", "f@example.com", false, "進行中", "必須"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const CalendarMeeting m = makeMeeting(event("UID:u\r\nATTENDEE;" + c.line + "\r\n"));
        ASSERT_EQ(m.attendees.size(), 1u);
        EXPECT_EQ(m.attendees[0], c.expected);
    }
}

TEST(CalendarMeeting, IdentifiersAndTitles) {
    EXPECT_EQ(makeMeeting(event("UID:abc\r\n")).id, "abc-1796605200.0");

    const CalendarMeeting bare = makeMeeting(event(""));
    EXPECT_EQ(bare.title, "名称未設定の予定");
    EXPECT_EQ(bare.id, "cal-1796605200.0--1796605200.0");

    // A fraction of a second survives into the id.
    CalendarEvent fractional = event("UID:x\r\n");
    *fractional.startDate += std::chrono::milliseconds(250);
    EXPECT_EQ(makeMeeting(fractional).id, "x-1796605200.25");
}

TEST(CalendarDescriptor, Colours) {
    const std::pair<std::vector<double>, std::optional<std::string>> cases[] = {
        {{0.5, 0.5, 0.5, 1}, "#7F7F7F"},
        {{1.2, -0.1, 1.0, 1}, "#FF00FF"},
        {{0.25, 1}, "#3F3F3F"},
        {{0.5}, std::nullopt},
        {{std::nan(""), 0.0, 0.0}, "#000000"},
    };
    for (const auto& [components, hex] : cases) EXPECT_EQ(calendarColorHex(components), hex);
    EXPECT_EQ(makeCalendarDescriptor({"id", "Team", "Acme", parseCalendarColor("#3465A4"), false}),
              (CalendarDescriptor{"id", "Team", "Acme", "#3465A4", true}));
}

}  // namespace

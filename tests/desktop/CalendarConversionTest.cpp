// The pure conversions from what a calendar holds to what the desktop shows, from iCalendar
// text.
#include <gtest/gtest.h>

#include <cmath>

#include "desktop/CalendarDescriptor.h"
#include "desktop/CalendarMeeting.h"
#include "desktop/MeetingLink.h"
#include "platform/CalendarICal.h"

namespace {

CalendarEvent event(const std::string& props) {
    CalendarICalContext context;
    context.calendarIdentifier = "cal";
    context.calendarTitle = "Work";
    context.userAddresses = {"me@example.com"};
    const auto events =
        calendarEventsFromICalText("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\n" + props +
                                       "END:VEVENT\r\nEND:VCALENDAR\r\n",
                                   context);
    EXPECT_EQ(events.size(), 1u);
    return events.empty() ? CalendarEvent{} : events.front();
}

TEST(MeetingLink, FindsTheFirstMeetingLink) {
    struct Case {
        const char* name;
        std::string props;
        std::optional<std::string> url;
        std::optional<MeetingVideoProvider> provider;
    };
    const std::vector<Case> cases = {
        {"closing parenthesis and full stop trimmed",
         "DESCRIPTION:Join (https://zoom.us/j/123?pwd=x).\r\n", "https://zoom.us/j/123?pwd=x",
         MeetingVideoProvider::zoom},
        {"capitals in scheme and host", "LOCATION:HTTPS://MEET.GOOGLE.COM/abc-defg-hij\r\n",
         "HTTPS://MEET.GOOGLE.COM/abc-defg-hij", MeetingVideoProvider::googleMeet},
        {"zoom subdomain", "LOCATION:https://us02web.zoom.us/j/9\r\n",
         "https://us02web.zoom.us/j/9", MeetingVideoProvider::zoom},
        {"teams subdomain", "DESCRIPTION:https://eu.teams.microsoft.com/l/meetup-join/1\r\n",
         "https://eu.teams.microsoft.com/l/meetup-join/1", MeetingVideoProvider::microsoftTeams},
        {"consumer teams", "DESCRIPTION:<https://teams.live.com/meet/93>\r\n",
         "https://teams.live.com/meet/93", MeetingVideoProvider::microsoftTeams},
        {"meet subdomain rejected, search goes on",
         "DESCRIPTION:https://x.meet.google.com/a then https://zoom.us/j/2\r\n",
         "https://zoom.us/j/2", MeetingVideoProvider::zoom},
        {"lookalike host rejected", "DESCRIPTION:https://notzoom.us/j/1\r\n", std::nullopt,
         std::nullopt},
        {"url before location before notes",
         "URL:https://teams.microsoft.com/l/1\r\nLOCATION:https://zoom.us/j/3\r\n"
         "DESCRIPTION:https://meet.google.com/n\r\n",
         "https://teams.microsoft.com/l/1", MeetingVideoProvider::microsoftTeams},
        {"location before notes",
         "LOCATION:Room 5 https://zoom.us/j/4\r\nDESCRIPTION:https://meet.google.com/n\r\n",
         "https://zoom.us/j/4", MeetingVideoProvider::zoom},
        {"earlier unrelated link passed over",
         "DESCRIPTION:Agenda https://docs.example.com/a, call https://zoom.us/j/5\r\n",
         "https://zoom.us/j/5", MeetingVideoProvider::zoom},
        {"only an unrelated host", "URL:https://example.com/zoom.us\r\n", std::nullopt,
         std::nullopt},
        {"ideographic space ends a link", "DESCRIPTION:https://zoom.us/j/6　会議室\r\n",
         "https://zoom.us/j/6", MeetingVideoProvider::zoom},
        {"quotes end a link", "DESCRIPTION:<a href=\"https://zoom.us/j/7\">join</a>\r\n",
         "https://zoom.us/j/7", MeetingVideoProvider::zoom},
        {"no texts at all", "SUMMARY:x\r\n", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CalendarMeeting m =
            makeMeeting(event("UID:u\r\nDTSTART:20261207T010000Z\r\n" + c.props));
        EXPECT_EQ(m.meetingURL, c.url);
        EXPECT_EQ(m.videoProvider, c.provider);
    }
}

TEST(MeetingAttendee, FromParticipants) {
    struct Case {
        const char* name;
        std::string line;
        MeetingAttendee expected;
    };
    const std::vector<Case> cases = {
        {"named, accepted",
         "ATTENDEE;CN=Alice;PARTSTAT=ACCEPTED:mailto:alice@example.com",
         {"mailto:alice@example.com", "Alice", "alice@example.com", false, "参加", "必須"}},
        {"percent-escaped address names a nameless attendee",
         "ATTENDEE;PARTSTAT=DECLINED;ROLE=OPT-PARTICIPANT:mailto:bob%2Bcal@example.com",
         {"mailto:bob%2Bcal@example.com", "bob+cal@example.com", "bob+cal@example.com", false,
          "不参加", "任意"}},
        {"bad escape: no address, no name",
         "ATTENDEE;PARTSTAT=TENTATIVE;ROLE=CHAIR:mailto:carol%zz@example.com",
         {"mailto:carol%zz@example.com", "名前未設定", std::nullopt, false, "仮承諾", "主催者"}},
        {"escape that is not UTF-8",
         "ATTENDEE:mailto:d%FF@example.com",
         {"mailto:d%FF@example.com", "名前未設定", std::nullopt, false, "未回答", "必須"}},
        {"current user, upper-case scheme",
         "ATTENDEE;CN=Me;PARTSTAT=DELEGATED;ROLE=NON-PARTICIPANT:MAILTO:me@example.com",
         {"MAILTO:me@example.com", "Me", "me@example.com", true, "代理", "非参加者"}},
        {"other scheme has no address",
         "ATTENDEE;PARTSTAT=COMPLETED:urn:uuid:42",
         {"urn:uuid:42", "名前未設定", std::nullopt, false, "完了", "必須"}},
        {"odd values",
         "ATTENDEE;PARTSTAT=X-FOO;ROLE=X-BAR;CN=E:mailto:e@example.com",
         {"mailto:e@example.com", "E", "e@example.com", false, "不明", "不明"}},
        {"in process",
         "ATTENDEE;PARTSTAT=IN-PROCESS:mailto:f@example.com",
         {"mailto:f@example.com", "f@example.com", "f@example.com", false, "進行中", "必須"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CalendarMeeting m =
            makeMeeting(event("UID:u\r\nDTSTART:20261207T010000Z\r\n" + c.line + "\r\n"));
        ASSERT_EQ(m.attendees.size(), 1u);
        EXPECT_EQ(m.attendees[0], c.expected);
    }

    // With no address and no name the id is made of the name and the current-user flag.
    EXPECT_EQ(makeAttendee(CalendarParticipant{"", std::nullopt, true}).id, "-true");
    EXPECT_EQ(makeAttendee(CalendarParticipant{"", "Zed", false}).id, "Zed-false");
}

TEST(CalendarMeeting, IdentifiersTitlesAndFields) {
    const CalendarMeeting full = makeMeeting(
        event("UID:abc\r\nDTSTART:20261207T010000Z\r\nDTEND:20261207T020000Z\r\nSUMMARY:Sync\r\n"
              "RRULE:FREQ=WEEKLY\r\nLOCATION:Room 1\r\nORGANIZER;CN=Olivia:mailto:o@example.com\r\n"
              "ATTENDEE;CN=Olivia;PARTSTAT=ACCEPTED:mailto:o@example.com\r\n"));
    EXPECT_EQ(full.id, "abc-1796605200.0");
    EXPECT_EQ(full.eventIdentifier, "abc");
    EXPECT_EQ(full.title, "Sync");
    EXPECT_EQ(full.calendarID, "cal");
    EXPECT_EQ(full.calendarTitle, "Work");
    EXPECT_EQ(full.location, "Room 1");
    EXPECT_EQ(full.notes, std::nullopt);
    EXPECT_TRUE(full.hasRecurrence);
    ASSERT_TRUE(full.organizer);
    EXPECT_EQ(full.organizer->role, "主催者");
    EXPECT_EQ(full.organizer->status, "参加");
    // The organiser listed as an attendee stands in both places.
    ASSERT_EQ(full.attendees.size(), 1u);
    EXPECT_EQ(full.attendees[0].name, "Olivia");

    const CalendarMeeting bare = makeMeeting(event("DTSTART:20261207T010000Z\r\n"));
    EXPECT_EQ(bare.title, "名称未設定の予定");
    EXPECT_EQ(bare.id, "cal-1796605200.0--1796605200.0");
    EXPECT_FALSE(bare.hasRecurrence);
    EXPECT_FALSE(bare.organizer);

    CalendarEvent fractional = event("DTSTART:20261207T010000Z\r\n");
    fractional.externalIdentifier = "x";
    *fractional.startDate += std::chrono::milliseconds(250);
    EXPECT_EQ(makeMeeting(fractional).id, "x-1796605200.25");
    fractional.externalIdentifier.reset();
    fractional.eventIdentifier = "ev";
    EXPECT_EQ(makeMeeting(fractional).id, "ev-1796605200.25");
}

TEST(CalendarDescriptor, ColoursAndFields) {
    struct Case {
        std::vector<double> components;
        std::optional<std::string> hex;
    };
    const std::vector<Case> cases = {
        {{0.5, 0.5, 0.5, 1}, "#7F7F7F"},
        {{1.2, -0.1, 1.0, 1}, "#FF00FF"},
        {{0.25, 1}, "#3F3F3F"},
        {{0.0, 0.5, 1.0}, "#007FFF"},
        {{0.5}, std::nullopt},
        {{}, std::nullopt},
        {{std::nan(""), 0.0, 0.0, 1}, "#000000"},
    };
    for (const Case& c : cases) EXPECT_EQ(calendarColorHex(c.components), c.hex);

    const CalendarDescriptor d = makeCalendarDescriptor(
        CalendarSource{"id", "Team", "Work account", parseCalendarColor("#3465A4"), false});
    EXPECT_EQ(d, (CalendarDescriptor{"id", "Team", "Work account", "#3465A4", true}));
}

TEST(MeetingVideoProvider, RawValues) {
    const std::vector<std::pair<MeetingVideoProvider, std::string>> all = {
        {MeetingVideoProvider::zoom, "Zoom"},
        {MeetingVideoProvider::googleMeet, "Google Meet"},
        {MeetingVideoProvider::microsoftTeams, "Microsoft Teams"},
        {MeetingVideoProvider::other, "オンライン会議"},
    };
    for (const auto& [provider, raw] : all) {
        EXPECT_EQ(rawValue(provider), raw);
        EXPECT_EQ(meetingVideoProviderFromRawValue(raw), provider);
    }
    for (const char* bad : {"zoom", "", "Teams", "Google  Meet"}) {
        EXPECT_EQ(meetingVideoProviderFromRawValue(bad), std::nullopt) << bad;
    }
    EXPECT_EQ(meetingVideoProvider(std::string("https://other.example/x")),
              MeetingVideoProvider::other);
}

}  // namespace

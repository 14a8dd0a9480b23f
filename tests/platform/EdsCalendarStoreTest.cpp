// Against the real calendar service on the private test bus.
#include "platform/EdsCalendarStore.h"

#include <QTest>
#include <QUuid>

#include <gtest/gtest.h>

#include "EdsTestCalendar.h"

namespace {

using namespace std::chrono_literals;
using SystemClock = std::chrono::system_clock;

std::string newUid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
}

bool grantAccess(EdsCalendarStore& store) {
    std::optional<bool> answer;
    store.requestAccess([&](bool granted) { answer = granted; });
    (void)QTest::qWaitFor([&] { return answer.has_value(); }, 10000);
    return answer.value_or(false);
}

// Queries until `accept` likes the answer: the calendar's client connects in the background.
std::vector<CalendarEvent> fetchUntil(
    EdsCalendarStore& store, SystemClock::time_point from, SystemClock::time_point to,
    std::optional<std::vector<std::string>> ids,
    const std::function<bool(const std::vector<CalendarEvent>&)>& accept) {
    std::vector<CalendarEvent> last;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        std::optional<std::vector<CalendarEvent>> answer;
        store.fetchEvents(from, to, ids, [&](std::vector<CalendarEvent> e) { answer = e; });
        (void)QTest::qWaitFor([&] { return answer.has_value(); }, 10000);
        last = answer.value_or(std::vector<CalendarEvent>{});
        if (accept(last)) break;
        QTest::qWait(50);
    }
    return last;
}

std::vector<const CalendarEvent*> withUid(const std::vector<CalendarEvent>& events,
                                          const std::string& uid) {
    std::vector<const CalendarEvent*> out;
    for (const auto& e : events) {
        if (e.externalIdentifier == uid) out.push_back(&e);
    }
    return out;
}

TEST(EdsCalendarStore, ListsCalendarsAndExpandsEvents) {
    TAVRO_REQUIRE_ENV("evolution-data-server", edstest::probe());
    ASSERT_TRUE(edstest::addUserAddress("me@example.com"));
    const std::string single = newUid();
    const std::string series = newUid();
    const std::string cancelled = newUid();
    ASSERT_TRUE(edstest::addEvent(
        "BEGIN:VEVENT\r\nUID:" + single + "\r\nDTSTART:" + edstest::utcStamp(3600) +
        "\r\nDTEND:" + edstest::utcStamp(5400) +
        "\r\nSUMMARY:Planning\r\nLOCATION:https://zoom.us/j/1\r\n"
        "ORGANIZER;CN=Olivia:mailto:olivia@example.com\r\n"
        "ATTENDEE;CN=Me;PARTSTAT=ACCEPTED:mailto:me@example.com\r\n"
        "ATTENDEE;CN=Alice;PARTSTAT=TENTATIVE:mailto:alice@example.com\r\nEND:VEVENT\r\n"));
    ASSERT_TRUE(edstest::addEvent("BEGIN:VEVENT\r\nUID:" + series +
                                  "\r\nDTSTART:" + edstest::utcStamp(7200) +
                                  "\r\nDURATION:PT30M\r\nRRULE:FREQ=DAILY;COUNT=3\r\n"
                                  "SUMMARY:Standup\r\nEND:VEVENT\r\n"));
    ASSERT_TRUE(edstest::addEvent("BEGIN:VEVENT\r\nUID:" + cancelled +
                                  "\r\nDTSTART:" + edstest::utcStamp(3600) +
                                  "\r\nDURATION:PT30M\r\nSTATUS:CANCELLED\r\n"
                                  "SUMMARY:Off\r\nEND:VEVENT\r\n"));

    EdsCalendarStore store;
    EXPECT_EQ(store.authorization(), CalendarStore::Authorization::notDetermined);
    ASSERT_TRUE(grantAccess(store));
    EXPECT_EQ(store.authorization(), CalendarStore::Authorization::granted);

    const auto now = SystemClock::now();
    const auto events = fetchUntil(
        store, now, now + 168h, std::vector<std::string>{"system-calendar"}, [&](const auto& e) {
            return withUid(e, single).size() == 1 && withUid(e, series).size() == 3 &&
                   withUid(e, cancelled).size() == 1;
        });
    const auto planning = withUid(events, single);
    ASSERT_EQ(planning.size(), 1u);
    const CalendarEvent& p = *planning[0];
    EXPECT_EQ(p.title, "Planning");
    EXPECT_EQ(p.calendarIdentifier, "system-calendar");
    EXPECT_NEAR(std::chrono::duration<double>(*p.startDate - now).count(), 3600, 5);
    EXPECT_EQ(p.endDate - *p.startDate, 1800s);
    EXPECT_EQ(p.location, "https://zoom.us/j/1");
    ASSERT_EQ(p.attendees.size(), 2u);
    EXPECT_TRUE(p.attendees[0].isCurrentUser);
    EXPECT_FALSE(p.attendees[1].isCurrentUser);
    EXPECT_EQ(p.attendees[1].status, ParticipantStatus::tentative);
    ASSERT_TRUE(p.organizer);
    EXPECT_EQ(p.organizer->name, "Olivia");

    const auto standups = withUid(events, series);
    ASSERT_EQ(standups.size(), 3u);
    EXPECT_EQ(*standups[1]->startDate - *standups[0]->startDate, 24h);
    EXPECT_NE(standups[0]->eventIdentifier, standups[1]->eventIdentifier);
    EXPECT_TRUE(standups[0]->hasRecurrenceRules);
    const auto off = withUid(events, cancelled);
    ASSERT_EQ(off.size(), 1u);
    EXPECT_EQ(off[0]->status, CalendarEventStatus::canceled);

    const auto calendars = store.calendars();
    const auto local = std::find_if(calendars.begin(), calendars.end(), [](const auto& c) {
        return c.identifier == "system-calendar";
    });
    ASSERT_NE(local, calendars.end());
    EXPECT_FALSE(local->sourceTitle.empty());  // the "on this computer" account
    EXPECT_TRUE(local->allowsContentModifications);

    // A selection naming no calendar gives nothing.
    for (const auto& ids : {std::vector<std::string>{}, std::vector<std::string>{"nope"}}) {
        std::optional<std::vector<CalendarEvent>> answer;
        store.fetchEvents(now, now + 168h, ids, [&](auto e) { answer = e; });
        (void)QTest::qWaitFor([&] { return answer.has_value(); }, 10000);
        ASSERT_TRUE(answer);
        EXPECT_TRUE(answer->empty());
    }
    for (const auto& uid : {single, series, cancelled}) edstest::removeEvent(uid);
}

}  // namespace

// Against the real calendar service on the private test bus.
#include "platform/EdsCalendarStore.h"

#include <QTest>
#include <QUuid>

#include <gtest/gtest.h>

#include "EdsTestCalendar.h"

namespace {

using namespace std::chrono_literals;

std::optional<std::vector<CalendarEvent>> fetch(EdsCalendarStore& store,
                                                std::chrono::system_clock::time_point now,
                                                const std::vector<std::string>& ids) {
    std::optional<std::vector<CalendarEvent>> answer;
    store.fetchEvents(now, now + 168h, ids, [&](std::vector<CalendarEvent> e) { answer = e; });
    (void)QTest::qWaitFor([&] { return answer.has_value(); }, 10000);
    return answer;
}

TEST(EdsCalendarStore, ListsCalendarsAndExpandsEvents) {
    TAVRO_REQUIRE_ENV("evolution-data-server", edstest::probe());
    ASSERT_TRUE(edstest::addUserAddress("me@example.com"));
    std::string uid[3];
    for (auto& u : uid) u = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    const std::string props[3] = {
        "DTEND:" + edstest::utcStamp(5400) +
            "\r\nATTENDEE;CN=Me:mailto:me@example.com\r\nATTENDEE:mailto:alice@example.com\r\n",
        "DURATION:PT30M\r\nRRULE:FREQ=DAILY;COUNT=3\r\n", "STATUS:CANCELLED\r\n"};
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(edstest::addEvent("BEGIN:VEVENT\r\nUID:" + uid[i] +
                                      "\r\nDTSTART:" + edstest::utcStamp(3600) + "\r\n" + props[i] +
                                      "END:VEVENT\r\n"));

    EdsCalendarStore store;
    EXPECT_EQ(store.authorization(), CalendarStore::Authorization::notDetermined);
    std::optional<bool> granted;
    store.requestAccess([&](bool g) { granted = g; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return granted.has_value(); }, 10000) && *granted);
    EXPECT_EQ(store.authorization(), CalendarStore::Authorization::granted);

    // The calendar's client connects in the background: ask until every occurrence is there.
    const auto now = std::chrono::system_clock::now();
    std::vector<CalendarEvent> found[3];
    for (auto deadline = now + 10s; std::chrono::system_clock::now() < deadline; QTest::qWait(50)) {
        const auto events = fetch(store, now, {"system-calendar"});
        for (int i = 0; i < 3; ++i) {
            found[i].clear();
            for (const auto& e : events.value_or(std::vector<CalendarEvent>{}))
                if (e.externalIdentifier == uid[i]) found[i].push_back(e);
        }
        if (found[0].size() == 1 && found[1].size() == 3 && found[2].size() == 1) break;
    }
    ASSERT_EQ(found[0].size(), 1u);
    const CalendarEvent& p = found[0][0];
    EXPECT_EQ(p.calendarIdentifier, "system-calendar");
    EXPECT_NEAR(std::chrono::duration<double>(*p.startDate - now).count(), 3600, 5);
    EXPECT_EQ(p.endDate - *p.startDate, 1800s);
    // The user's own addresses come from the service's mail identities.
    ASSERT_EQ(p.attendees.size(), 2u);
    EXPECT_TRUE(p.attendees[0].isCurrentUser);
    EXPECT_FALSE(p.attendees[1].isCurrentUser);
    ASSERT_EQ(found[1].size(), 3u);
    EXPECT_EQ(*found[1][1].startDate - *found[1][0].startDate, 24h);
    EXPECT_NE(found[1][0].eventIdentifier, found[1][1].eventIdentifier);
    ASSERT_EQ(found[2].size(), 1u);
    EXPECT_EQ(found[2][0].status, CalendarEventStatus::canceled);

    const auto calendars = store.calendars();
    const auto local = std::find_if(calendars.begin(), calendars.end(), [](const auto& c) {
        return c.identifier == "system-calendar";
    });
    ASSERT_NE(local, calendars.end());
    EXPECT_FALSE(local->sourceTitle.empty());  // the "on this computer" account
    EXPECT_TRUE(local->allowsContentModifications);

    // A selection naming no calendar gives nothing.
    for (const auto& ids : {std::vector<std::string>{}, std::vector<std::string>{"nope"}}) {
        const auto answer = fetch(store, now, ids);
        ASSERT_TRUE(answer && answer->empty());
    }
    for (const auto& u : uid) edstest::removeEvent(u);
}

}  // namespace

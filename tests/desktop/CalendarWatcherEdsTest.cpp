// The watcher end to end against the real calendar service on the private test bus.
#include <QTest>
#include <QUuid>

#include <gtest/gtest.h>

#include <algorithm>

#include "desktop/CalendarWatcher.h"
#include "platform/EdsCalendarStore.h"
#include "platform/EdsTestCalendar.h"  // tests/platform
#include "support/TempDir.h"
#include "support/WithoutSessionBus.h"
#include "util/UserDefaults.h"

namespace {

const CalendarMeeting* listed(const CalendarWatcher& w, const std::string& title) {
    const auto& m = w.upcomingMeetings();
    const auto it =
        std::find_if(m.begin(), m.end(), [&](const auto& x) { return x.title == title; });
    return it == m.end() ? nullptr : &*it;
}

TEST(CalendarWatcherEds, AnnouncesOnceAndFollowsOtherPrograms) {
    TAVRO_REQUIRE_ENV("evolution-data-server", edstest::probe());
    ASSERT_TRUE(edstest::addUserAddress("me@example.com"));
    const std::string uid = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    const std::string title = "Review " + uid, laterTitle = "Later " + uid;
    ASSERT_TRUE(
        edstest::addEvent("BEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTART:" + edstest::utcStamp(60) +
                          "\r\nDTEND:" + edstest::utcStamp(1860) + "\r\nSUMMARY:" + title +
                          "\r\nDESCRIPTION:Join https://meet.google.com/abc-defg-hij\r\n"
                          "ATTENDEE;CN=Me;PARTSTAT=ACCEPTED:mailto:me@example.com\r\n"
                          "ATTENDEE;CN=Alice;PARTSTAT=ACCEPTED:mailto:alice@example.com\r\n"
                          "ATTENDEE;CN=Bob;PARTSTAT=DECLINED:mailto:bob@example.com\r\n"
                          "ATTENDEE;PARTSTAT=ACCEPTED:mailto:carol@example.com\r\nEND:VEVENT\r\n"));

    testsupport::TempDir dir;
    UserDefaults defaults(dir / "defaults.json");
    EdsCalendarStore store;
    CalendarWatcher watcher(&store, defaults);
    int announcements = 0;
    std::optional<DefaultsArray> names;
    watcher.onMeetingStart = [&](const std::string& t) {
        if (t != title) return;
        ++announcements;
        names = defaults.arrayValue(CalendarWatcher::kParticipantsKey);
    };
    watcher.start();
    // The calendar connects in the background; its arrival refreshes and ticks.
    ASSERT_TRUE(QTest::qWaitFor([&] { return announcements > 0; }, 10000));
    EXPECT_EQ(watcher.access(), CalendarWatcher::Access::granted);
    EXPECT_EQ(names, DefaultsArray{"Alice"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return listed(watcher, title); }, 5000));
    EXPECT_EQ(listed(watcher, title)->videoProvider, MeetingVideoProvider::googleMeet);
    EXPECT_EQ(listed(watcher, title)->attendees.size(), 4u);
    EXPECT_TRUE(std::any_of(watcher.calendars().begin(), watcher.calendars().end(),
                            [](const auto& c) { return c.id == "system-calendar"; }));

    // Another program adds an event: the watcher's list follows without being asked, and the
    // tick that comes with it does not announce the first meeting again.
    ASSERT_TRUE(edstest::addEvent("BEGIN:VEVENT\r\nUID:" + uid +
                                  "-later\r\nDTSTART:" + edstest::utcStamp(3 * 3600) +
                                  "\r\nSUMMARY:" + laterTitle + "\r\nEND:VEVENT\r\n"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed(watcher, laterTitle); }, 5000));
    watcher.tick();
    QTest::qWait(200);
    EXPECT_EQ(announcements, 1);
    edstest::removeEvent(uid);
    edstest::removeEvent(uid + "-later");
}

TEST(CalendarWatcherEdsDeathTest, WithoutTheServiceOnTheBusItIsUnavailableNotRefused) {
    testsupport::expectWithoutSessionBus([](UserDefaults& defaults) {
        EdsCalendarStore store;
        CalendarWatcher watcher(&store, defaults);
        watcher.start();
        return QTest::qWaitFor(
            [&] { return watcher.access() == CalendarWatcher::Access::unavailable; }, 10000);
    });
}

}  // namespace

// The watcher's rules against a store in memory and a clock of the test's own.
#include "desktop/CalendarWatcher.h"

#include <QTest>

#include <gtest/gtest.h>

#include "FakeCalendarStore.h"
#include "support/TempDir.h"
#include "util/UserDefaults.h"

namespace {

using namespace std::chrono_literals;
using SystemClock = std::chrono::system_clock;

const SystemClock::time_point kNow = SystemClock::from_time_t(1796605200);

CalendarEvent meeting(const std::string& uid, SystemClock::duration fromNow,
                      const std::string& calendar = "work") {
    CalendarEvent e;
    e.externalIdentifier = uid;
    e.eventIdentifier = uid;
    e.title = uid;
    e.startDate = kNow + fromNow;
    e.endDate = kNow + fromNow + 30min;
    e.calendarIdentifier = calendar;
    return e;
}

CalendarParticipant person(const std::string& name, ParticipantStatus status, bool me = false) {
    return CalendarParticipant{"mailto:" + name + "@example.com", name, me, status,
                               ParticipantRole::required};
}

class CalendarWatcherTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    UserDefaults defaults{dir / "defaults.json"};
    FakeCalendarStore store;
    SystemClock::time_point now = kNow;
    CalendarWatcher watcher{&store, defaults, [this] { return now; }};
    std::vector<std::string> announced;

    void SetUp() override {
        store.sources = {{"work", "Work", "Acme", {}, true},
                         {"home", "Home", "Personal", {}, true}};
        watcher.onMeetingStart = [this](const std::string& title) { announced.push_back(title); };
    }

    void startPolling() {
        watcher.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return watcher.isPolling(); }, 2000));
    }

    std::vector<std::string> storedNames() const {
        std::vector<std::string> names;
        for (const auto& v :
             defaults.arrayValue(CalendarWatcher::kParticipantsKey).value_or(DefaultsArray{})) {
            names.push_back(*v.get<std::string>());
        }
        return names;
    }

    std::vector<std::string> upcomingTitles() const {
        std::vector<std::string> titles;
        for (const auto& m : watcher.upcomingMeetings()) titles.push_back(m.title);
        return titles;
    }
};

TEST_F(CalendarWatcherTest, AnnouncementWindow) {
    struct Case {
        SystemClock::duration offset;
        bool announced;
    };
    const std::vector<Case> cases = {
        {119s, true}, {120s, false}, {-179s, true}, {-180s, false}, {0s, true},
    };
    startPolling();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::chrono::duration_cast<std::chrono::seconds>(c.offset).count());
        // A fresh meeting each time, so earlier announcements do not interfere.
        now += 1h;
        store.events = {meeting("m", now - kNow + c.offset)};
        announced.clear();
        watcher.tick();
        EXPECT_EQ(announced.size(), c.announced ? 1u : 0u);
    }
}

TEST_F(CalendarWatcherTest, AnnouncesOnceAndForgetsAfterTenMinutes) {
    store.events = {meeting("standup", 60s)};
    startPolling();  // polling start ticks at once
    EXPECT_EQ(announced, std::vector<std::string>{"standup"});
    for (int i = 0; i < 6; ++i) {
        now += 30s;
        watcher.tick();
    }
    EXPECT_EQ(announced.size(), 1u);

    // 599 s after the start the key is still remembered: a clock set back does not repeat it.
    now = kNow + 60s + 599s;
    watcher.tick();
    now = kNow + 60s;
    watcher.tick();
    EXPECT_EQ(announced.size(), 1u);
    // From 600 s on it is forgotten.
    now = kNow + 60s + 600s;
    watcher.tick();
    now = kNow + 60s;
    watcher.tick();
    EXPECT_EQ(announced.size(), 2u);
}

TEST_F(CalendarWatcherTest, SkipsAndStoresTheOtherAttendees) {
    CalendarEvent allDay = meeting("all day", 0s);
    allDay.isAllDay = true;
    CalendarEvent cancelled = meeting("cancelled", 10s);
    cancelled.status = CalendarEventStatus::canceled;
    CalendarEvent declined = meeting("declined", 20s);
    declined.attendees = {person("Me", ParticipantStatus::declined, true)};
    CalendarEvent noStart = meeting("no start", 0s);
    noStart.startDate.reset();
    CalendarEvent first = meeting("first", 30s);
    first.attendees = {person("Xavier", ParticipantStatus::accepted)};
    CalendarEvent second = meeting("second", 40s);
    second.title.reset();
    second.attendees = {person("Me", ParticipantStatus::accepted, true),
                        person(" Alice\n", ParticipantStatus::tentative),
                        person("Bob", ParticipantStatus::declined),
                        {"mailto:nameless@example.com", std::nullopt, false,
                         ParticipantStatus::accepted, ParticipantRole::required},
                        person("  ", ParticipantStatus::accepted),
                        person("Carol", ParticipantStatus::pending)};
    store.events = {allDay, cancelled, declined, noStart, first, second};
    startPolling();
    // Both starting meetings, in the store's order; the untitled one as "会議".
    EXPECT_EQ(announced, (std::vector<std::string>{"first", "会議"}));
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"Alice", "Carol"}));
    // Listed: everything but the cancelled one and the one without a start; untitled named so.
    EXPECT_EQ(upcomingTitles(),
              (std::vector<std::string>{"all day", "declined", "first", "名称未設定の予定"}));
}

TEST_F(CalendarWatcherTest, AnnouncesWithoutACallbackToo) {
    watcher.onMeetingStart = nullptr;
    CalendarEvent e = meeting("quiet", 30s);
    e.attendees = {person("Dana", ParticipantStatus::accepted)};
    store.events = {e};
    startPolling();
    EXPECT_EQ(storedNames(), std::vector<std::string>{"Dana"});
    // Already marked: a callback set later does not hear of it.
    watcher.onMeetingStart = [this](const std::string& t) { announced.push_back(t); };
    watcher.tick();
    EXPECT_TRUE(announced.empty());
}

TEST_F(CalendarWatcherTest, SnapshotSortsAndKeepsTheWeek) {
    store.sources = {{"b2", "Beta", "Zeta account", {}, true},
                     {"a2", "Team", "Acme", parseCalendarColor("#FF0000"), false},
                     {"a1", "Ops", "Acme", {}, true},
                     {"a3", "Ops", "Acme", {}, true},
                     {"c1", "Émile", "Acme", {}, true}};
    store.events = {meeting("later", 3h, "a1"), meeting("sooner", 1h, "a2"),
                    meeting("same start, second", 3h, "b2"), meeting("past", -2h, "a1"),
                    meeting("next week", 24h * 7 + 1s, "a1")};
    startPolling();
    std::vector<std::string> order;
    for (const auto& c : watcher.calendars()) order.push_back(c.id);
    EXPECT_EQ(order, (std::vector<std::string>{"a1", "a3", "a2", "c1", "b2"}));
    EXPECT_EQ(watcher.calendars()[2].colorHex, "#FF0000");
    EXPECT_TRUE(watcher.calendars()[2].isReadOnly);
    EXPECT_EQ(upcomingTitles(),
              (std::vector<std::string>{"sooner", "later", "same start, second"}));
}

TEST_F(CalendarWatcherTest, SelectionRules) {
    store.events = {meeting("work meeting", 60s, "work"), meeting("home meeting", 90s, "home")};
    startPolling();
    EXPECT_EQ(announced.size(), 2u);
    // Absent key: everything, queried without a list.
    EXPECT_TRUE(watcher.isCalendarSelected("work"));
    EXPECT_TRUE(watcher.isCalendarSelected("anything"));
    EXPECT_EQ(store.queries.back(), std::nullopt);

    watcher.setCalendar("work", false);
    EXPECT_EQ(defaults.arrayValue(CalendarWatcher::kSelectedCalendarsKey), (DefaultsArray{"home"}));
    EXPECT_FALSE(watcher.isCalendarSelected("work"));
    EXPECT_TRUE(watcher.isCalendarSelected("home"));
    EXPECT_EQ(upcomingTitles(), std::vector<std::string>{"home meeting"});

    watcher.setCalendar("work", true);
    EXPECT_EQ(defaults.arrayValue(CalendarWatcher::kSelectedCalendarsKey),
              (DefaultsArray{"home", "work"}));
    // Queried in the store's order, not the stored one.
    EXPECT_EQ(store.queries.back(), (std::vector<std::string>{"work", "home"}));

    watcher.setCalendar("work", false);
    watcher.setCalendar("home", false);
    EXPECT_EQ(defaults.arrayValue(CalendarWatcher::kSelectedCalendarsKey), DefaultsArray{});
    EXPECT_TRUE(watcher.upcomingMeetings().empty());
    const auto queriesBefore = store.queries.size();
    now += 1h;
    store.events = {meeting("new", now - kNow + 30s, "work")};
    announced.clear();
    watcher.tick();
    EXPECT_TRUE(announced.empty());
    EXPECT_EQ(store.queries.size(), queriesBefore);

    watcher.selectAllCalendars();
    EXPECT_FALSE(defaults.contains(CalendarWatcher::kSelectedCalendarsKey));
    EXPECT_EQ(upcomingTitles(), std::vector<std::string>{"new"});
    watcher.tick();
    EXPECT_EQ(announced, std::vector<std::string>{"new"});

    // A stored selection that names no calendar any more queries an empty list.
    defaults.set(CalendarWatcher::kSelectedCalendarsKey, DefaultsArray{"gone"});
    watcher.refreshSnapshot();
    EXPECT_EQ(store.queries.back(), std::vector<std::string>{});
    EXPECT_TRUE(watcher.upcomingMeetings().empty());
    // Something other than a string list selects nothing.
    defaults.set(CalendarWatcher::kSelectedCalendarsKey, DefaultsArray{"work", 3});
    EXPECT_FALSE(watcher.isCalendarSelected("work"));
}

TEST_F(CalendarWatcherTest, OffAndOn) {
    defaults.set(CalendarWatcher::kWatchKey, false);
    watcher.start();
    QTest::qWait(20);
    EXPECT_EQ(store.accessRequests, 0);
    EXPECT_FALSE(watcher.isPolling());

    // A non-boolean value counts as on.
    defaults.set(CalendarWatcher::kWatchKey, "false");
    store.events = {meeting("first", 30s)};
    startPolling();
    EXPECT_EQ(watcher.access(), CalendarWatcher::Access::granted);
    EXPECT_EQ(announced.size(), 1u);

    // Off: the timer keeps running but ticks do nothing.
    defaults.set(CalendarWatcher::kWatchKey, false);
    now += 1h;
    store.events = {meeting("second", now - kNow + 30s)};
    watcher.tick();
    EXPECT_EQ(announced.size(), 1u);

    watcher.stop();
    EXPECT_FALSE(watcher.isPolling());
    EXPECT_EQ(upcomingTitles(), std::vector<std::string>{"first"});
    // Stopped: store changes are no longer followed.
    store.emitChanged();
    QTest::qWait(20);
    EXPECT_EQ(upcomingTitles(), std::vector<std::string>{"first"});

    // On again: an immediate refresh and tick.
    defaults.set(CalendarWatcher::kWatchKey, true);
    startPolling();
    EXPECT_EQ(announced, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(upcomingTitles(), std::vector<std::string>{"second"});

    // A second start while polling neither refreshes nor ticks again.
    const auto queries = store.queries.size();
    watcher.start();
    QTest::qWait(20);
    EXPECT_EQ(store.queries.size(), queries);
    EXPECT_EQ(store.accessRequests, 3);
}

TEST_F(CalendarWatcherTest, DeniedAccessEmptiesTheLists) {
    store.events = {meeting("m", 30s)};
    startPolling();
    EXPECT_FALSE(watcher.calendars().empty());
    watcher.stop();

    store.grants = false;
    watcher.start();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return watcher.access() == CalendarWatcher::Access::denied; }, 2000));
    QTest::qWait(20);
    EXPECT_FALSE(watcher.isPolling());
    watcher.refreshSnapshot();
    EXPECT_TRUE(watcher.calendars().empty());
    EXPECT_TRUE(watcher.upcomingMeetings().empty());
}

}  // namespace

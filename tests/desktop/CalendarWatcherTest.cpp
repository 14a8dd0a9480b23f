// The calendar: the pure conversions from iCalendar text to what the desktop shows, the
// watcher's rules against a store in memory and a clock of the test's own, and the watcher end to
// end against the real calendar service on the private test bus.
#include <QTest>
#include <QUuid>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <unordered_set>

#include "desktop/CalendarDescriptor.h"
#include "desktop/CalendarMeeting.h"
#include "desktop/CalendarWatcher.h"
#include "desktop/MeetingLink.h"
#include "platform/CalendarICal.h"
#include "platform/EdsCalendarStore.h"
#include "platform/EdsTestCalendar.h"  // tests/platform
#include "support/FakeCalendarStore.h"
#include "support/TempDir.h"
#include "support/WithoutSessionBus.h"
#include "util/UserDefaults.h"

namespace {

// One event at 2026-12-07 01:00 UTC, with the given lines.
CalendarEvent fromICal(const std::string& props) {
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
        const CalendarMeeting m = makeMeeting(fromICal("UID:u\r\n" + c.props + "\r\n"));
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
        const CalendarMeeting m = makeMeeting(fromICal("UID:u\r\nATTENDEE;" + c.line + "\r\n"));
        ASSERT_EQ(m.attendees.size(), 1u);
        EXPECT_EQ(m.attendees[0], c.expected);
    }
}

TEST(CalendarMeeting, IdentifiersAndTitles) {
    EXPECT_EQ(makeMeeting(fromICal("UID:abc\r\n")).id, "abc-1796605200.0");

    const CalendarMeeting bare = makeMeeting(fromICal(""));
    EXPECT_EQ(bare.title, "名称未設定の予定");
    EXPECT_EQ(bare.id, "cal-1796605200.0--1796605200.0");

    // A fraction of a second survives into the id.
    CalendarEvent fractional = fromICal("UID:x\r\n");
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

// Equal values hash alike, and a change of any one field changes the hash: a field left out
// of the hash would let two different values collide there.
template <typename T>
void expectHashedOverEveryField(const T& base, const std::vector<std::function<void(T&)>>& edits) {
    const std::hash<T> hash;
    const T copy = base;
    EXPECT_EQ(hash(copy), hash(base));
    std::unordered_set<T> set = {base, copy};
    for (std::size_t i = 0; i < edits.size(); ++i) {
        T changed = base;
        edits[i](changed);
        EXPECT_NE(changed, base) << "field " << i;
        EXPECT_NE(hash(changed), hash(base)) << "field " << i;
        set.insert(changed);
    }
    EXPECT_EQ(set.size(), edits.size() + 1);
}

TEST(CalendarValues, HashedOverEveryField) {
    expectHashedOverEveryField<CalendarDescriptor>(
        {"id", "Team", "Acme", "#3465A4", false},
        {[](auto& v) { v.id = "id2"; }, [](auto& v) { v.title = "Home"; },
         [](auto& v) { v.sourceTitle = "Other"; }, [](auto& v) { v.colorHex.reset(); },
         [](auto& v) { v.isReadOnly = true; }});

    const MeetingAttendee bob{"mailto:bob@x.jp", "Bob", "bob@x.jp", false, "参加", "必須"};
    expectHashedOverEveryField<MeetingAttendee>(
        bob, {[](auto& v) { v.id = "mailto:b@x.jp"; }, [](auto& v) { v.name = "Robert"; },
              [](auto& v) { v.email.reset(); }, [](auto& v) { v.isCurrentUser = true; },
              [](auto& v) { v.status = "不参加"; }, [](auto& v) { v.role = "任意"; }});

    CalendarMeeting meeting = makeMeeting(
        fromICal("UID:u\r\nSUMMARY:定例\r\nDTEND:20261207T020000Z\r\nLOCATION:会議室\r\n"
                 "DESCRIPTION:https://zoom.us/j/1\r\nORGANIZER;CN=Me:mailto:me@example.com\r\n"
                 "ATTENDEE;CN=Bob:mailto:bob@x.jp\r\nRRULE:FREQ=WEEKLY\r\n"));
    ASSERT_TRUE(meeting.organizer && meeting.meetingURL && meeting.hasRecurrence);
    ASSERT_EQ(meeting.attendees.size(), 1u);
    expectHashedOverEveryField<CalendarMeeting>(
        meeting,
        {[](auto& v) { v.id = "other"; }, [](auto& v) { v.eventIdentifier = "e2"; },
         [](auto& v) { v.title = "別件"; }, [](auto& v) { v.startDate += std::chrono::seconds(1); },
         [](auto& v) { v.endDate += std::chrono::milliseconds(1); },
         [](auto& v) { v.isAllDay = true; }, [](auto& v) { v.calendarID = "home"; },
         [](auto& v) { v.calendarTitle = "Home"; }, [](auto& v) { v.location.reset(); },
         [](auto& v) { v.notes = "メモ"; }, [](auto& v) { v.organizer->name = "Boss"; },
         [](auto& v) { v.attendees[0].status = "不参加"; },
         [](auto& v) { v.meetingURL = "https://zoom.us/j/2"; },
         [](auto& v) { v.videoProvider = MeetingVideoProvider::other; },
         [](auto& v) { v.hasRecurrence = false; }});
}

using namespace std::chrono_literals;
using Clock = std::chrono::system_clock;
using Names = std::vector<std::string>;
const Clock::time_point kNow = Clock::from_time_t(1796605200);

CalendarEvent meeting(const std::string& title, Clock::duration fromNow,
                      const std::string& calendar = "work") {
    CalendarEvent e;
    e.externalIdentifier = e.title = title;
    e.startDate = kNow + fromNow;
    e.endDate = kNow + fromNow + 30min;
    e.calendarIdentifier = calendar;
    return e;
}

CalendarParticipant person(const char* name, ParticipantStatus status, bool me = false) {
    return {"mailto:x@example.com", name ? std::optional<std::string>(name) : std::nullopt, me,
            status, ParticipantRole::required};
}

class CalendarWatcherTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    UserDefaults defaults{dir / "defaults.json"};
    FakeCalendarStore store;
    Clock::time_point now = kNow;
    CalendarWatcher watcher{&store, defaults, [this] { return now; }};
    Names announced;

    void SetUp() override {
        store.sources = {{"work", "Work", "Acme", {}, true},
                         {"home", "Home", "Personal", {}, true}};
        watcher.onMeetingStart = [this](const std::string& title) { announced.push_back(title); };
    }
    void startPolling() {
        watcher.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return watcher.isPolling(); }, 2000));
    }
    // A meeting `offset` from a clock moved on by an hour, so earlier announcements don't count.
    void tickWith(Clock::duration offset) {
        now += 1h;
        store.events = {meeting("m", now - kNow + offset)};
        announced.clear();
        watcher.tick();
    }
    Names titles() const {
        Names out;
        for (const auto& m : watcher.upcomingMeetings()) out.push_back(m.title);
        return out;
    }
    std::optional<DefaultsArray> selection() const {
        return defaults.arrayValue(CalendarWatcher::kSelectedCalendarsKey);
    }
};

TEST_F(CalendarWatcherTest, AnnouncementWindow) {
    startPolling();
    for (const auto& [offset, count] :
         {std::pair{119s, 1u}, {120s, 0u}, {-179s, 1u}, {-180s, 0u}}) {
        SCOPED_TRACE(offset.count());
        tickWith(offset);
        EXPECT_EQ(announced.size(), count);
    }
}

TEST_F(CalendarWatcherTest, AnnouncesOnceAndForgetsAfterTenMinutes) {
    store.events = {meeting("standup", 60s)};
    startPolling();  // polling starts with a tick
    for (auto t : {90s, 150s, 230s}) {
        now = kNow + t;
        watcher.tick();
    }
    EXPECT_EQ(announced.size(), 1u);
    // Remembered until 600 s after its start, even with the clock set back; then forgotten.
    for (const auto& [later, count] : {std::pair{659s, 1u}, {660s, 2u}}) {
        now = kNow + later;
        watcher.tick();
        now = kNow + 60s;
        watcher.tick();
        EXPECT_EQ(announced.size(), count);
    }
}

TEST_F(CalendarWatcherTest, SkipsAndStoresTheOtherAttendees) {
    using S = ParticipantStatus;
    store.events = {meeting("all day", 0s),  meeting("cancelled", 10s), meeting("declined", 20s),
                    meeting("no start", 0s), meeting("first", 30s),     meeting("second", 40s)};
    auto& e = store.events;
    e[0].isAllDay = true;
    e[1].status = CalendarEventStatus::canceled;
    e[2].attendees = {person("Me", S::declined, true)};
    e[3].startDate.reset();
    e[4].attendees = {person("Xavier", S::accepted)};
    e[5].title.reset();
    e[5].attendees = {person("Me", S::accepted, true), person(" Alice\n", S::tentative),
                      person("Bob", S::declined),      person(nullptr, S::accepted),
                      person("  ", S::accepted),       person("Carol", S::pending)};
    startPolling();
    EXPECT_EQ(announced, (Names{"first", "会議"}));
    EXPECT_EQ(defaults.arrayValue(CalendarWatcher::kParticipantsKey),
              (DefaultsArray{"Alice", "Carol"}));
    EXPECT_EQ(titles(), (Names{"all day", "declined", "first", "名称未設定の予定"}));
}

TEST_F(CalendarWatcherTest, SnapshotSortsAndKeepsTheWeek) {
    store.sources = {{"b2", "Beta", "Zeta account", {}, true},
                     {"a2", "Team", "Acme", {}, true},
                     {"a1", "Ops", "Acme", {}, true},
                     {"a3", "Ops", "Acme", {}, true},
                     {"c1", "Émile", "Acme", {}, true}};
    store.events = {meeting("later", 3h, "a1"), meeting("sooner", 1h, "a2"),
                    meeting("same start, second", 3h, "b2"), meeting("past", -2h, "a1"),
                    meeting("next week", 24h * 7 + 1s, "a1")};
    startPolling();
    Names order;
    for (const auto& c : watcher.calendars()) order.push_back(c.id);
    EXPECT_EQ(order, (Names{"a1", "a3", "a2", "c1", "b2"}));
    EXPECT_EQ(titles(), (Names{"sooner", "later", "same start, second"}));
}

TEST_F(CalendarWatcherTest, SelectionRules) {
    store.events = {meeting("work meeting", 60s, "work"), meeting("home meeting", 90s, "home")};
    startPolling();
    // Absent: everything, queried without a list.
    EXPECT_EQ(store.queries.back(), std::nullopt);

    // The first untick keeps every other calendar.
    watcher.setCalendar("work", false);
    EXPECT_EQ(selection(), (DefaultsArray{"home"}));
    EXPECT_EQ(titles(), Names{"home meeting"});
    watcher.setCalendar("work", true);
    EXPECT_EQ(store.queries.back(), (Names{"work", "home"})) << "in the store's order";

    // An empty list selects nothing and asks nothing.
    watcher.setCalendar("work", false);
    watcher.setCalendar("home", false);
    EXPECT_EQ(selection(), DefaultsArray{});
    EXPECT_TRUE(watcher.upcomingMeetings().empty());
    const auto queries = store.queries.size();
    tickWith(30s);
    EXPECT_TRUE(announced.empty());
    EXPECT_EQ(store.queries.size(), queries);

    watcher.selectAllCalendars();
    EXPECT_EQ(selection(), std::nullopt);
    watcher.tick();
    EXPECT_EQ(announced, Names{"m"});

    // A selection that names no calendar any more queries an empty list.
    defaults.set(CalendarWatcher::kSelectedCalendarsKey, DefaultsArray{"gone"});
    watcher.refreshSnapshot();
    EXPECT_EQ(store.queries.back(), Names{});
    // A list with anything but strings selects nothing.
    defaults.set(CalendarWatcher::kSelectedCalendarsKey, DefaultsArray{"work", 3});
    EXPECT_FALSE(watcher.isCalendarSelected("work"));
}

TEST_F(CalendarWatcherTest, OffOnAndRefused) {
    defaults.set(CalendarWatcher::kWatchKey, false);
    watcher.start();
    QTest::qWait(20);
    EXPECT_FALSE(watcher.isPolling());

    defaults.set(CalendarWatcher::kWatchKey, true);
    store.events = {meeting("first", 30s)};
    startPolling();
    // Off: the timer keeps running but ticks do nothing.
    defaults.set(CalendarWatcher::kWatchKey, false);
    tickWith(30s);
    EXPECT_TRUE(announced.empty());

    // Stopped: store changes are no longer followed.
    watcher.stop();
    Q_EMIT store.changed();
    QTest::qWait(20);
    EXPECT_EQ(titles(), Names{"first"});

    // On again: an immediate refresh and tick; a second start does neither again.
    defaults.set(CalendarWatcher::kWatchKey, true);
    startPolling();
    EXPECT_EQ(announced, Names{"m"});
    EXPECT_EQ(titles(), Names{"m"});
    const auto queries = store.queries.size();
    watcher.start();
    QTest::qWait(20);
    EXPECT_EQ(store.queries.size(), queries);

    // Refused: nothing polled, nothing listed.
    watcher.stop();
    store.grants = false;
    watcher.start();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return watcher.access() == CalendarWatcher::Access::denied; }, 2000));
    watcher.refreshSnapshot();
    EXPECT_FALSE(watcher.isPolling());
    EXPECT_TRUE(watcher.calendars().empty());
}

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

// The recording and privacy tabs' models over a calendar store in memory.
#include <QTest>

#include "desktop/CalendarWatcher.h"
#include "platform/Desktop.h"
#include "support/FakeCalendarStore.h"
#include "ui/UiFixture.h"
#include "ui/settings/PrivacySettingsModel.h"
#include "ui/settings/RecordingSettingsModel.h"

namespace {

using namespace std::chrono_literals;
using Block = RecordingSettingsModel::CalendarBlock;

CalendarEvent event(int n) {
    CalendarEvent e;
    e.externalIdentifier = e.title = "会議" + std::to_string(n);
    e.startDate = std::chrono::system_clock::now() + std::chrono::hours(2 + n);
    e.endDate = *e.startDate + 30min;
    e.calendarIdentifier = "work";
    e.calendarTitle = "仕事";
    return e;
}

class RecordingSettingsTest : public StoresFixture {
protected:
    FakeCalendarStore store;
    CalendarWatcher watcher{&store, defaults};
    RecordingSettingsModel model{defaults, watcher, {}};

    void SetUp() override {
        store.auth = CalendarStore::Authorization::granted;
        store.sources = {{"work", "仕事", "Google", {0.2, 0.4, 0.8, 1}, true},
                         {"home", "家族", "ローカル", {}, true}};
    }
    void startWith(int meetings) {
        for (int i = 0; i < meetings; ++i) store.events.push_back(event(i));
        watcher.start();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return watcher.upcomingMeetings().size() == store.events.size() &&
                       model.calendarBlock() == Block::granted;
            },
            5000));
    }
};

TEST_F(RecordingSettingsTest, FiveMeetingsShownThenACount) {
    struct Case {
        int meetings;
        std::size_t rows;
        const char* header;
        const char* more;
        const char* empty;
    };
    const Case cases[] = {
        {7, 5, "今後7日間（7件）", "ほか2件", ""},
        {0, 0, "今後7日間（0件）", "", "予定はありません"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.meetings);
        store.events.clear();
        startWith(c.meetings);
        EXPECT_EQ(model.meetingRows().size(), c.rows);
        EXPECT_EQ(model.meetingsHeader(), c.header);
        EXPECT_EQ(model.moreText(), c.more);
        EXPECT_EQ(model.emptyText(), c.empty);
        watcher.stop();
    }
}

TEST_F(RecordingSettingsTest, OnlyWebLinksAreJoined) {
    const std::pair<const char*, bool> links[] = {
        {"https://zoom.us/j/123", true},
        {"HTTP://meet.example.com/x", true},
        {"zoommtg://zoom.us/join?confno=1", false},
        {"javascript:alert(1)", false},
        {"https://", false},
    };
    for (const auto& [link, web] : links)
        EXPECT_EQ(RecordingSettingsModel::isWebLink(link), web) << link;

    CalendarEvent zoom = event(0);
    zoom.url = "https://zoom.us/j/123";
    zoom.attendees = {{"mailto:a@example.com", "A"}, {"mailto:b@example.com", "B"}};
    store.events = {zoom, event(1)};
    startWith(0);
    const auto rows = model.meetingRows();
    EXPECT_TRUE(rows[0].canJoin);
    EXPECT_EQ(rows[0].provider, "Zoom ・ 参加者2人");
    EXPECT_FALSE(rows[1].canJoin);

    std::vector<QUrl> opened;
    const auto previous =
        Desktop::setOpener([&](const QUrl& u) { return opened.push_back(u), true; });
    model.join(1);
    model.join(0);
    Desktop::setOpener(previous);
    EXPECT_EQ(opened, std::vector<QUrl>{QUrl("https://zoom.us/j/123")});
}

TEST_F(RecordingSettingsTest, SwitchesAndTheCalendarWatch) {
    // Participant detection rests while system audio is off, keeping its own value.
    model.setCaptureSystemAudio(false);
    EXPECT_FALSE(model.detectParticipantsEnabled());
    model.setDetectParticipants(false);
    EXPECT_TRUE(model.detectParticipants());
    EXPECT_FALSE(defaults.contains("detectParticipants"));
    model.setCaptureSystemAudio(true);
    model.setDetectParticipants(false);
    EXPECT_EQ(defaults.boolValue("detectParticipants"), false);

    startWith(1);
    EXPECT_TRUE(watcher.isPolling());
    model.setCalendarWatch(false);
    EXPECT_FALSE(watcher.isPolling());
    EXPECT_EQ(model.calendarBlock(), Block::hidden);
    model.setCalendarWatch(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return watcher.isPolling(); }, 5000));
    EXPECT_EQ(model.calendarBlock(), Block::granted);

    // Unchecking one calendar keeps the others; "すべて選択" watches all again.
    auto rows = model.calendars();
    ASSERT_EQ(rows.size(), 2u);
    model.setCalendar("home", false);
    EXPECT_EQ(defaults.arrayValue(CalendarWatcher::kSelectedCalendarsKey), DefaultsArray{"work"});
    EXPECT_FALSE(model.calendars()[1].selected);
    model.selectAllCalendars();
    EXPECT_FALSE(defaults.contains(CalendarWatcher::kSelectedCalendarsKey));

    store.auth = CalendarStore::Authorization::denied;
    watcher.start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.calendarBlock() == Block::denied; }, 5000));
}

TEST_F(StoresFixture, StealthIsOnlyOfferedWhereItWorks) {
    for (const bool supported : {false, true}) {
        SCOPED_TRACE(supported);
        defaults.remove("stealthMode");
        int applied = 0;
        PrivacySettingsModel model(defaults, supported, false, [&] { ++applied; });
        EXPECT_TRUE(model.stealthMode());
        EXPECT_EQ(model.stealthShown(), supported);
        EXPECT_EQ(model.stealthEditable(), supported);
        EXPECT_EQ(model.stealthCaption().contains("除外できません"), !supported);
        model.setStealthMode(false);
        EXPECT_EQ(defaults.contains("stealthMode"), supported);
        EXPECT_EQ(applied, supported ? 1 : 0);
        EXPECT_TRUE(model.trayCaption().contains("システムトレイがない"));
    }
}

}  // namespace

// The recording tab over a calendar store in memory: its model, and the tab in the settings
// window with screenshots.
#include <QCheckBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>

#include "SettingsFixture.h"
#include "desktop/CalendarWatcher.h"
#include "platform/Desktop.h"
#include "support/FakeCalendarStore.h"
#include "ui/settings/RecordingSettings.h"
#include "ui/settings/RecordingSettingsModel.h"
#include "ui/settings/SettingsView.h"

namespace {

using namespace std::chrono_literals;
using Block = RecordingSettingsModel::CalendarBlock;

// The n-th meeting from now, a day or so apart, with two attendees.
CalendarEvent event(int n, std::string title = {}, std::string url = {}) {
    CalendarEvent e;
    e.externalIdentifier = e.title = title.empty() ? "会議" + std::to_string(n) : title;
    e.startDate = std::chrono::system_clock::now() + std::chrono::hours(2 + 20 * n);
    e.endDate = *e.startDate + 30min;
    e.calendarIdentifier = "work";
    e.calendarTitle = "仕事";
    if (!url.empty()) e.url = url;
    e.attendees = {{"mailto:a@example.com", "A"}, {"mailto:b@example.com", "B"}};
    return e;
}

class RecordingSettingsTest : public StoresFixture {
protected:
    FakeCalendarStore calendars;
    WindowServices services{store, library, defaults, dialogs, &calendars};
    CalendarWatcher& watcher = services.calendar;
    RecordingSettingsModel model{defaults, watcher, {}};

    void SetUp() override {
        calendars.auth = CalendarStore::Authorization::granted;
        calendars.sources = {{"work", "仕事", "Google", {0.2, 0.4, 0.8, 1}, true},
                             {"home", "家族の予定", "ローカル", {}, true}};
    }
    void startWith(int meetings) {
        for (int i = 0; i < meetings; ++i) calendars.events.push_back(event(i));
        watcher.start();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return watcher.upcomingMeetings().size() == calendars.events.size() &&
                       model.calendarBlock() == Block::granted;
            },
            5000));
    }
};

TEST_F(RecordingSettingsTest, NoMeetingsSaySo) {
    startWith(0);
    EXPECT_TRUE(model.meetingRows().empty());
    EXPECT_EQ(model.meetingsHeader(), "今後7日間（0件）");
    EXPECT_EQ(model.moreText(), "");
    EXPECT_EQ(model.emptyText(), "予定はありません");
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

    calendars.events = {event(0, "", "https://zoom.us/j/123"), event(1)};
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
    EXPECT_EQ(opened, std::vector<QUrl>{QUrl("https://zoom.us/j/123")});
    // Where no browser takes it, that meeting's row says so, until it opens.
    for (bool opens : {false, true}) {
        Desktop::setOpener([&](const QUrl&) { return opens; });
        model.join(0);
        EXPECT_EQ(model.meetingRows()[0].problem, opens ? "" : Desktop::noBrowserText());
        EXPECT_EQ(model.meetingRows()[1].problem, "");
    }
    Desktop::setOpener(previous);
}

// Where no meeting window can be read (Wayland without XWayland), the detection's caption
// says that names are not detected, after what the switch does.
TEST_F(RecordingSettingsTest, TheDetectionSaysWhereNamesCannotBeRead) {
    const QString readable = model.participantsCaption();
    RecordingSettingsModel unreadable{defaults, watcher, {}, [] { return false; }};
    EXPECT_TRUE(unreadable.participantsCaption().startsWith(readable));
    EXPECT_GT(unreadable.participantsCaption().size(), readable.size());
    EXPECT_TRUE(unreadable.participantsCaption().contains(QStringLiteral("検知されません")));
    // The tab shows what its model says, beside the switch.
    RecordingSettings tab(services.ctx);
    EXPECT_NE(settingstest::labelShowing(&tab, tab.model().participantsCaption()), nullptr);
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

    calendars.auth = CalendarStore::Authorization::denied;
    watcher.start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.calendarBlock() == Block::denied; }, 5000));
}

TEST_F(RecordingSettingsTest, TheTabWithSixMeetings) {
    const char* titles[] = {"<b>週次</b>&lt;Q&A&gt;",
                            "採用面接（エンジニア）",
                            "4月度 予算会議",
                            "1on1 山田さん",
                            "キックオフ",
                            "研修・セミナー"};
    const char* links[] = {"https://zoom.us/j/123", "", "https://meet.google.com/abc-defg-hij"};
    for (int i = 0; i < 6; ++i) calendars.events.push_back(event(i, titles[i], links[i % 3]));
    services.calendar.start();
    SettingsView view(services.ctx);
    view.show();
    view.tabs()->setCurrentIndex(1);
    auto* tab = qobject_cast<RecordingSettings*>(view.tabs()->widget(1));
    ASSERT_NE(tab, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tab->calendarDisclosure()->isVisible(); }, 5000));
    settingstest::shoot(view, QStringLiteral("settings-recording"));
    tab->calendarDisclosure()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return tab->joinButtons().size() == 3; }, 5000));
    // Five meetings shown, then a count of the rest.
    EXPECT_EQ(model.meetingRows().size(), 5u);
    EXPECT_EQ(model.meetingsHeader(), "今後7日間（6件）");
    EXPECT_EQ(model.moreText(), "ほか1件");
    EXPECT_EQ(model.emptyText(), "");
    // Down to the meetings, once the opened group is laid out.
    QWidget* content = tab->calendarContent();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return tab->joinButtons().back()->isVisible() &&
                   content->height() >= content->sizeHint().height();
        },
        5000));
    tab->ensureWidgetVisible(tab->joinButtons().back());
    settingstest::shoot(view, QStringLiteral("settings-recording-meetings"));
    // A link no browser takes: said under its meeting, until it opens.
    for (bool opens : {false, true}) {
        const auto previous = Desktop::setOpener([&](const QUrl&) { return opens; });
        tab->joinButtons().front()->click();
        Desktop::setOpener(previous);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const QLabel* said = settingstest::labelShowing(content, Desktop::noBrowserText());
                return (said && said->isVisible()) == !opens;
            },
            5000));
        if (!opens) {
            tab->ensureWidgetVisible(tab->joinButtons().front());
            settingstest::shoot(view, QStringLiteral("settings-recording-no-browser"));
        }
    }
    // Invitations' text is shown as written, never as markup, in the tooltips too.
    const QLabel* title = settingstest::labelShowing(content, QString::fromUtf8(titles[0]));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->textFormat(), Qt::PlainText);
    QTextDocument tip;
    tip.setHtml(title->toolTip());
    EXPECT_EQ(tip.toPlainText(), QString::fromUtf8(titles[0]));
    tab->calendarWatchToggle()->click();
    EXPECT_FALSE(tab->calendarDisclosure()->isVisible());

    // Without a calendar service the tab says so, and what would provide one.
    calendars.grants = false;
    calendars.refusal = CalendarStore::Authorization::unavailable;
    tab->calendarWatchToggle()->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return tab->calendarProblem()->text().contains("evolution-data-server"); }, 5000));
    tab->ensureWidgetVisible(tab->deniedRow());
    settingstest::shoot(view, QStringLiteral("settings-recording-no-calendar-service"));
}

}  // namespace

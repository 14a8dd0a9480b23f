// The general, recording and privacy tabs as widgets, with screenshots kept as artifacts.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>

#include "library/CustomTemplateStore.h"
#include "support/FakeCalendarStore.h"
#include "ui/Screenshots.h"
#include "ui/UiFixture.h"
#include "ui/settings/GeneralSettings.h"
#include "ui/settings/PrivacySettings.h"
#include "ui/settings/RecordingSettings.h"
#include "ui/settings/SettingsView.h"

namespace {

using uitest::shoot;

// The label that shows `text` exactly; nullptr when none does.
const QLabel* labelShowing(const QWidget* root, const QString& text) {
    for (const QLabel* label : root->findChildren<QLabel*>())
        if (label->text() == text) return label;
    return nullptr;
}

class SettingsTabsTest : public StoresFixture {
protected:
    FakeCalendarStore calendarStore;
    WindowServices services{store, library, defaults, dialogs, &calendarStore};
    UiContext& ctx = services.ctx;
};

TEST_F(SettingsTabsTest, GeneralAndPrivacyTabs) {
    CustomTemplateStore::save({{"custom-1", "Q&A <b>定例</b>", "R&D &lt;部&gt;を重視", "i"},
                               {"custom-2", "開発レビュー", "課題と担当者の一覧", "i"}},
                              defaults);
    defaults.set("templateId", "custom-2");
    SettingsView view(ctx);
    view.show();
    auto* tab = qobject_cast<GeneralSettings*>(view.tabs()->widget(0));
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->templatePicker()->currentText(), "開発レビュー (カスタム)");
    // A user's names read as written: no shortcut marker, no markup.
    const QLabel* row = labelShowing(tab, QStringLiteral("Q&A <b>定例</b> — R&D &lt;部&gt;を重視"));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->textFormat(), Qt::PlainText);
    shoot(view, QStringLiteral("settings-general"));

    // A deleted default goes back to "議事録" in the picker too.
    ASSERT_EQ(tab->deleteButtons().size(), 2);
    tab->deleteButtons()[1]->click();
    EXPECT_EQ(tab->templatePicker()->currentText(), "議事録");
    EXPECT_EQ(tab->deleteButtons().size(), 1);

    // This desktop cannot withhold windows from capture: the switch says so and stays put.
    view.tabs()->setCurrentIndex(2);
    auto* privacy = qobject_cast<PrivacySettings*>(view.tabs()->widget(2));
    ASSERT_NE(privacy, nullptr);
    EXPECT_FALSE(privacy->stealthToggle()->isEnabled());
    EXPECT_FALSE(privacy->stealthToggle()->isChecked()) << "not on where it cannot be";
    EXPECT_TRUE(privacy->stealthCaption()->text().contains("除外できません"));
    shoot(view, QStringLiteral("settings-privacy"));
    privacy->trayToggle()->click();
    EXPECT_EQ(defaults.boolValue("hideMenuBarIcon"), true);
}

TEST_F(SettingsTabsTest, RecordingTabWithSixMeetings) {
    calendarStore.auth = CalendarStore::Authorization::granted;
    calendarStore.sources = {{"work", "仕事", "Google", {0.2, 0.4, 0.8, 1}, true},
                             {"home", "家族の予定", "ローカル", {}, true}};
    const char* titles[] = {"<b>週次</b>&lt;Q&A&gt;",
                            "採用面接（エンジニア）",
                            "4月度 予算会議",
                            "1on1 山田さん",
                            "キックオフ",
                            "研修・セミナー"};
    const char* links[] = {"https://zoom.us/j/123", "", "https://meet.google.com/abc-defg-hij"};
    for (int i = 0; i < 6; ++i) {
        CalendarEvent e;
        e.externalIdentifier = e.title = titles[i];
        e.startDate = std::chrono::system_clock::now() + std::chrono::hours(3 + 20 * i);
        e.endDate = *e.startDate;
        e.calendarIdentifier = "work";
        e.calendarTitle = "仕事";
        if (*links[i % 3]) e.url = links[i % 3];
        e.attendees = {{"mailto:a@example.com", "A"}, {"mailto:b@example.com", "B"}};
        calendarStore.events.push_back(e);
    }
    services.calendar.start();
    SettingsView view(ctx);
    view.show();
    view.tabs()->setCurrentIndex(1);
    auto* tab = qobject_cast<RecordingSettings*>(view.tabs()->widget(1));
    ASSERT_NE(tab, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tab->calendarDisclosure()->isVisible(); }, 5000));
    shoot(view, QStringLiteral("settings-recording"));
    tab->calendarDisclosure()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return tab->joinButtons().size() == 3; }, 5000));
    // Down to the meetings, once the opened group is laid out.
    QWidget* content = tab->calendarContent();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return tab->joinButtons().back()->isVisible() &&
                   content->height() >= content->sizeHint().height();
        },
        5000));
    tab->ensureWidgetVisible(tab->joinButtons().back());
    shoot(view, QStringLiteral("settings-recording-meetings"));
    // Invitations' text is shown as written, never as markup, in the tooltips too.
    const QLabel* title = labelShowing(content, QString::fromUtf8(titles[0]));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->textFormat(), Qt::PlainText);
    QTextDocument tip;
    tip.setHtml(title->toolTip());
    EXPECT_EQ(tip.toPlainText(), QString::fromUtf8(titles[0]));
    tab->calendarWatchToggle()->click();
    EXPECT_FALSE(tab->calendarDisclosure()->isVisible());

    // Without a calendar service the tab says so, and what would provide one.
    calendarStore.grants = false;
    calendarStore.refusal = CalendarStore::Authorization::unavailable;
    tab->calendarWatchToggle()->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return tab->calendarProblem()->text().contains("evolution-data-server"); }, 5000));
    tab->ensureWidgetVisible(tab->deniedRow());
    shoot(view, QStringLiteral("settings-recording-no-calendar-service"));
}

}  // namespace

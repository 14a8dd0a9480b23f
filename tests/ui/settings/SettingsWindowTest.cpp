// The settings window as the user meets it on screen: the account's whole round of logging in
// and out against the fake service, rows that come and go in the integrations tab, scroll bars
// only where there is something to scroll, and what the tabs say where nothing could be opened.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>

#include <optional>

#include "SettingsFixture.h"
#include "library/CustomTemplateStore.h"
#include "platform/Desktop.h"
#include "ui/settings/AccountSettings.h"
#include "ui/settings/GeneralSettings.h"
#include "ui/settings/IntegrationSettings.h"
#include "ui/settings/SettingsView.h"

namespace {

using settingstest::settle;
using settingstest::shoot;
using settingstest::waitFor;

// Not only shown but drawn: laid out at its full height, with some of it inside the window.
bool onScreen(const QWidget* w) {
    return w->isVisible() && w->height() >= w->minimumSizeHint().height() &&
           !w->visibleRegion().isEmpty();
}

class SettingsWindowTest : public settingstest::SettingsFixture {
protected:
    void TearDown() override { settle(); }
};

// Every way back to the e-mail step shows it, and a second login works: "戻る" from the code,
// logging out, another tab and back, and the window closed and opened again.
TEST_F(SettingsWindowTest, LoggingOutOffersTheLoginAgain) {
    SettingsView view(ctx);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.tabs()->setCurrentIndex(5);
    auto* tab = qobject_cast<AccountSettings*>(view.tabs()->widget(5));
    ASSERT_NE(tab, nullptr);
    const auto emailStep = [&] {
        return onScreen(tab->emailField()) && onScreen(tab->requestButton());
    };
    const auto requestCode = [&] {
        tab->emailField()->clear();
        QTest::keyClicks(tab->emailField(), QStringLiteral("me@x.jp"));
        tab->requestButton()->click();
        return waitFor([&] { return onScreen(tab->codeField()); });
    };

    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(waitFor(emailStep));
        ASSERT_TRUE(requestCode());
        tab->backButton()->click();
        ASSERT_TRUE(waitFor(emailStep));
        ASSERT_TRUE(requestCode());
        tab->codeField()->clear();
        QTest::keyClicks(tab->codeField(), QStringLiteral("123456"));
        tab->verifyButton()->click();
        ASSERT_TRUE(waitFor([&] { return onScreen(tab->logoutButton()); }));
        EXPECT_TRUE(defaults.contains("authToken"));
        if (round == 1) shoot(view, QStringLiteral("settings-account-window-signed-in"));

        tab->logoutButton()->click();
        EXPECT_FALSE(defaults.contains("authToken"));
        ASSERT_TRUE(waitFor(emailStep));
        EXPECT_FALSE(tab->logoutButton()->isVisible());
        if (round == 1) shoot(view, QStringLiteral("settings-account-window-logged-out"));

        view.tabs()->setCurrentIndex(0);
        view.tabs()->setCurrentIndex(5);
        ASSERT_TRUE(waitFor(emailStep));
        view.close();
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    EXPECT_EQ(service.requests("POST", "/api/auth/verify").size(), 2u);
}

// Rows shown and hidden as connections come and go leave every provider's row drawn whole.
TEST_F(SettingsWindowTest, ConnectionsComingAndGoingKeepEveryRow) {
    SettingsView view(ctx);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.tabs()->setCurrentIndex(4);
    auto* tab = qobject_cast<IntegrationSettings*>(view.tabs()->widget(4));
    ASSERT_NE(tab, nullptr);
    const struct {
        const char* what;
        std::vector<std::pair<const char*, std::optional<const char*>>> settings;
    } steps[] = {
        {"Slack without a bot token: its notice", {{"slackWebhook", "https://hooks.example/1"}}},
        {"the notice goes", {{"slackToken", "xoxb-1"}}},
        {"Notion with its page", {{"notionToken", "ntn_1"}, {"notionParentId", "p1"}}},
        {"both go, the notice comes back",
         {{"notionToken", std::nullopt}, {"slackToken", std::nullopt}}},
        {"Discord", {{"discordWebhook", "https://discord.example/1"}}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        for (const auto& [key, value] : step.settings)
            value ? defaults.set(key, std::string(*value)) : defaults.remove(key);
        for (const char* id : {"notion", "slack", "discord"}) {
            const auto& row = tab->providerWidgets(id);
            EXPECT_TRUE(waitFor([&] { return onScreen(row.button) && onScreen(row.status); }))
                << id;
        }
    }
    shoot(view, QStringLiteral("settings-integrations-rows-came-and-went"));
}

TEST_F(SettingsWindowTest, ScrollBarsOnlyWithSomethingToScroll) {
    const struct {
        const char* what;
        int tab;
        int height;     // of the window
        int templates;  // the user's own
        bool bar;
    } cases[] = {
        {"general", 0, 560, 0, false},
        {"privacy", 2, 560, 0, false},
        {"account", 5, 560, 0, false},
        {"general with twenty templates", 0, 560, 20, true},
        {"integrations opened up", 4, 560, 0, true},
        {"general in a short window", 0, 380, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<CustomTemplate> templates;
        for (int i = 1; i <= c.templates; ++i)
            templates.push_back(
                {"custom-" + std::to_string(i), "テンプレート" + std::to_string(i), "説明", "i"});
        ASSERT_TRUE(CustomTemplateStore::save(templates, defaults));
        SettingsView view(ctx);
        view.setFixedHeight(c.height);
        view.tabs()->setCurrentIndex(c.tab);
        auto* tab = qobject_cast<QScrollArea*>(view.tabs()->widget(c.tab));
        ASSERT_NE(tab, nullptr);
        if (auto* integrations = qobject_cast<IntegrationSettings*>(tab)) integrations->expandAll();
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        // Laid out: the rows fill the window, or stand taller than it.
        ASSERT_TRUE(waitFor([&] {
            const QWidget* rows = tab->widget();
            return rows->height() >= tab->viewport()->height() &&
                   rows->height() >= rows->minimumSizeHint().height();
        }));
        EXPECT_EQ(tab->verticalScrollBar()->isVisible(), c.bar);
        EXPECT_EQ(tab->verticalScrollBar()->maximum() > 0, c.bar);
        if (c.tab == 2) shoot(view, QStringLiteral("settings-privacy-without-bar"));
        if (c.height < 560) shoot(view, QStringLiteral("settings-general-short-window"));
    }
}

// Where the desktop opens nothing, the tab says so beside what was clicked, until a later click
// opens it.
TEST_F(SettingsWindowTest, WhatCouldNotBeOpenedIsSaidWhereItWasAsked) {
    bool opens = false;
    std::vector<QUrl> asked;
    struct Restore {
        Desktop::Opener previous;
        ~Restore() { Desktop::setOpener(previous); }
    } restore{Desktop::setOpener([&](const QUrl& url) {
        asked.push_back(url);
        return opens;
    })};
    defaults.set("slackWebhook", "https://hooks.example/1");  // without a bot token: "再接続する"
    SettingsView view(ctx);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    auto* general = qobject_cast<GeneralSettings*>(view.tabs()->widget(0));
    auto* integrations = qobject_cast<IntegrationSettings*>(view.tabs()->widget(4));
    ASSERT_TRUE(general && integrations);
    QPushButton* reconnect = nullptr;
    for (QPushButton* b : integrations->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("再接続する")) reconnect = b;
    ASSERT_NE(reconnect, nullptr);
    const QString browser = Desktop::noBrowserText();

    const struct {
        const char* what;
        int tab;
        QPushButton* button;
        QLabel* problem;
        QString text;
    } cases[] = {
        {"the data folder", 0, general->dataFolderButton(), general->folderProblem(),
         QStringLiteral("フォルダを開けませんでした: ") +
             QString::fromStdString(store.baseDir().string())},
        {"connecting Notion", 4, integrations->providerWidgets("notion").button,
         integrations->providerWidgets("notion").problem, browser},
        {"connecting Slack again", 4, reconnect, integrations->providerWidgets("slack").problem,
         browser},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        view.tabs()->setCurrentIndex(c.tab);
        opens = false;
        asked.clear();
        c.button->click();
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_TRUE(waitFor([&] { return onScreen(c.problem); }));
        EXPECT_EQ(c.problem->text(), c.text);
        shoot(view, QStringLiteral("settings-cannot-open-%1").arg(int(&c - cases)));
        opens = true;
        c.button->click();
        EXPECT_TRUE(waitFor([&] { return !c.problem->isVisible(); }));
    }
}

}  // namespace

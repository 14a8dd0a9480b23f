// The settings window on screen: logging in and out against the fake service, integration rows
// coming and going, scroll bars only with something to scroll, and failed opens where clicked.
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

using settingstest::shoot;
using settingstest::waitFor;

// Not only shown but drawn: laid out at its full height, with some of it inside the window.
bool onScreen(const QWidget* w) {
    return w->isVisible() && w->height() >= w->minimumSizeHint().height() &&
           !w->visibleRegion().isEmpty();
}

class SettingsWindowTest : public settingstest::SettingsFixture {
protected:
    void TearDown() override {
        Desktop::setOpener({});
        settingstest::settle();
    }

    // A new window on screen at this tab, `height` high where given.
    template <class Tab>
    Tab* show(int index, int height = 0) {
        window.emplace(ctx);
        if (height) window->setFixedHeight(height);
        window->tabs()->setCurrentIndex(index);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&*window));
        return qobject_cast<Tab*>(window->tabs()->widget(index));
    }
    std::optional<SettingsView> window;
};

// Every way back to the e-mail step shows it, and a second login works, its code typed afresh:
// "戻る" from the code, logging out, another tab and back, and the window closed and opened again.
TEST_F(SettingsWindowTest, LoggingOutOffersTheLoginAgain) {
    auto* tab = show<AccountSettings>(5);
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
    for (const bool first : {true, false}) {
        SCOPED_TRACE(first ? "first login" : "second login");
        ASSERT_TRUE(waitFor(emailStep));
        ASSERT_TRUE(requestCode());
        QTest::keyClicks(tab->codeField(), QStringLiteral("999999"));
        tab->backButton()->click();
        ASSERT_TRUE(waitFor(emailStep));
        ASSERT_TRUE(requestCode());
        // A new code step starts empty, after "戻る" as after logging out.
        EXPECT_EQ(tab->codeField()->text(), QString());
        EXPECT_FALSE(tab->verifyButton()->isEnabled());
        QTest::keyClicks(tab->codeField(), QStringLiteral("123456"));
        tab->verifyButton()->click();
        ASSERT_TRUE(waitFor([&] { return onScreen(tab->logoutButton()); }));
        EXPECT_TRUE(defaults.contains("authToken"));
        if (first) shoot(*window, QStringLiteral("settings-account-window-signed-in"));

        tab->logoutButton()->click();
        EXPECT_FALSE(defaults.contains("authToken"));
        ASSERT_TRUE(waitFor(emailStep));
        EXPECT_FALSE(tab->logoutButton()->isVisible());
        if (first) shoot(*window, QStringLiteral("settings-account-window-logged-out"));

        window->tabs()->setCurrentIndex(0);
        window->tabs()->setCurrentIndex(5);
        ASSERT_TRUE(waitFor(emailStep));
        window->close();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&*window));
    }
    EXPECT_EQ(service.requests("POST", "/api/auth/verify").size(), 2u);
}

// Rows shown and hidden as connections come and go leave every provider's row drawn whole.
TEST_F(SettingsWindowTest, ConnectionsComingAndGoingKeepEveryRow) {
    auto* tab = show<IntegrationSettings>(4);
    ASSERT_NE(tab, nullptr);
    using Settings = std::vector<std::pair<const char*, const char*>>;  // nullptr removes
    const std::pair<const char*, Settings> steps[] = {
        {"Slack without a bot token: its notice", {{"slackWebhook", "https://hooks.example/1"}}},
        {"the notice goes", {{"slackToken", "xoxb-1"}}},
        {"Notion with its page", {{"notionToken", "ntn_1"}, {"notionParentId", "p1"}}},
        {"both go, the notice comes back", {{"notionToken", nullptr}, {"slackToken", nullptr}}},
        {"Discord", {{"discordWebhook", "https://discord.example/1"}}},
    };
    for (const auto& [what, settings] : steps) {
        SCOPED_TRACE(what);
        for (const auto& [key, value] : settings)
            value ? defaults.set(key, std::string(value)) : defaults.remove(key);
        for (const char* id : {"notion", "slack", "discord"}) {
            const auto& row = tab->providerWidgets(id);
            EXPECT_TRUE(waitFor([&] { return onScreen(row.button) && onScreen(row.status); }))
                << id;
        }
    }
    shoot(*window, QStringLiteral("settings-integrations-rows-came-and-went"));
}

TEST_F(SettingsWindowTest, ScrollBarsOnlyWithSomethingToScroll) {
    const struct {
        const char* what;
        int tab, height, templates;  // the window's height; the user's own templates
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
        auto* tab = show<QScrollArea>(c.tab, c.height);
        ASSERT_NE(tab, nullptr);
        if (auto* integrations = qobject_cast<IntegrationSettings*>(tab)) integrations->expandAll();
        // Laid out: the rows fill the window, or stand taller than it.
        ASSERT_TRUE(waitFor([&] {
            const QWidget* rows = tab->widget();
            return rows->height() >= tab->viewport()->height() &&
                   rows->height() >= rows->minimumSizeHint().height();
        }));
        EXPECT_EQ(tab->verticalScrollBar()->isVisible(), c.bar);
        EXPECT_EQ(tab->verticalScrollBar()->maximum() > 0, c.bar);
        shoot(*window, QStringLiteral("settings-scroll-%1").arg(&c - cases));
    }
}

// Where the desktop opens nothing, the tab says so beside what was clicked, until a later click
// opens it.
TEST_F(SettingsWindowTest, WhatCouldNotBeOpenedIsSaidWhereItWasAsked) {
    bool opens = false;
    int asked = 0;
    Desktop::setOpener([&](const QUrl&) { return ++asked, opens; });
    defaults.set("slackWebhook", "https://hooks.example/1");  // without a bot token: "再接続する"
    auto* general = show<GeneralSettings>(0);
    auto* integrations = qobject_cast<IntegrationSettings*>(window->tabs()->widget(4));
    ASSERT_TRUE(general && integrations);
    QPushButton* reconnect = nullptr;
    for (QPushButton* b : integrations->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("再接続する")) reconnect = b;
    ASSERT_NE(reconnect, nullptr);
    const auto& notion = integrations->providerWidgets("notion");
    const QString noBrowser = Desktop::noBrowserText();
    const struct {
        int tab;
        QPushButton* button;
        QLabel* problem;
        QString text;
    } cases[] = {
        {0, general->dataFolderButton(), general->folderProblem(),
         QStringLiteral("フォルダを開けませんでした: ") +
             QString::fromStdString(store.baseDir().string())},
        {4, notion.button, notion.problem, noBrowser},
        {4, reconnect, integrations->providerWidgets("slack").problem, noBrowser},
    };
    for (const auto& c : cases) {
        const int n = &c - cases;
        SCOPED_TRACE(n);
        window->tabs()->setCurrentIndex(c.tab);
        opens = false;
        asked = 0;
        c.button->click();
        ASSERT_EQ(asked, 1);
        EXPECT_TRUE(waitFor([&] { return onScreen(c.problem); }));
        EXPECT_EQ(c.problem->text(), c.text);
        shoot(*window, QStringLiteral("settings-cannot-open-%1").arg(n));
        opens = true;
        c.button->click();
        EXPECT_TRUE(waitFor([&] { return !c.problem->isVisible(); }));
    }
}

}  // namespace

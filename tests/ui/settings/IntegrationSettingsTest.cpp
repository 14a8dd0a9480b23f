// The tabs that reach other services. Integrations: the model over the settings store, a stand-in
// page list and the real keyring, and a picture with Notion connected. Account: sign-in against
// the fake service, with pictures of its three states.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <atomic>

#include "SettingsFixture.h"
#include "service/SecureStore.h"
#include "support/WithoutSessionBus.h"
#include "ui/settings/AccountSettings.h"
#include "ui/settings/AccountSettingsModel.h"
#include "ui/settings/BrandIcon.h"
#include "ui/settings/IntegrationSettings.h"
#include "ui/settings/IntegrationSettingsModel.h"

namespace {

using settingstest::settle;
using settingstest::shoot;
using settingstest::waitFor;
using Model = IntegrationSettingsModel;
using P = Model::Picker;

class IntegrationSettingsTest : public settingstest::SettingsFixture {
protected:
    std::atomic<bool> fail{false}, none{false};
    // Each token has a page of its own name.
    Model model{defaults, [this](const std::string& token) {
                    if (fail) throw APIError::local("down");
                    return none ? std::vector<Model::Page>{}
                                : std::vector<Model::Page>{{"id-" + token, "ページ " + token}};
                }};

    // The keyring is the session's: leave it as found for the other tests.
    static void removeSecrets() {
        for (Model::Secret s : {Model::Secret::hubspotToken, Model::Secret::salesforceAccessToken,
                                Model::Secret::zapierSigningSecret})
            SecureStore::remove(Model::account(s));
    }
    void SetUp() override { removeSecrets(); }
    void TearDown() override {
        settle();
        removeSecrets();
    }
};

TEST_F(IntegrationSettingsTest, RowsAndGroupsFollowTheSettings) {
    model.tabShown();
    for (const char* id : {"notion", "slack", "discord"})
        EXPECT_EQ(model.provider(id).status, "未接続") << id;
    for (auto g : {Model::Group::hubspot, Model::Group::salesforce, Model::Group::zapier})
        EXPECT_EQ(model.readiness(g), "未接続");
    EXPECT_EQ(model.picker(), P::hidden);

    // Values as a connect callback or the user leave them, one after the other: the key, its
    // value, the row it shows in, that row's status line, whether Slack asks for a reconnect.
    const std::tuple<const char*, const char*, const char*, const char*, bool> steps[] = {
        {"slackWebhook", "https://hooks/x", "slack", "接続済み", true},
        {"slackTeam", "営業", "slack", "接続済み — 営業", true},
        {"slackToken", "xoxb", "slack", "接続済み — 営業", false},
        {"discordChannel", "minutes", "discord", "未接続", false},
        {"discordWebhook", "https://d/x", "discord", "接続済み — #minutes", false},
        {"notionToken", "t", "notion", "接続済み", false},
        {"notionWorkspace", "ACME", "notion", "接続済み — ACME", false},
    };
    for (const auto& [key, value, provider, status, notice] : steps) {
        defaults.set(key, value);
        EXPECT_EQ(model.provider(provider).status, QString::fromUtf8(status)) << key;
        EXPECT_EQ(model.slackNeedsReconnect(), notice) << key;
    }
    const std::tuple<Model::Secret, const char*, Model::Group> groups[] = {
        {Model::Secret::hubspotToken, "hubspotObjectId", Model::Group::hubspot},
        {Model::Secret::salesforceAccessToken, "salesforceInstanceUrl", Model::Group::salesforce},
        {Model::Secret::zapierSigningSecret, "zapierWebhook", Model::Group::zapier},
    };
    defaults.set("hubspotObjectType", "deal");
    for (const auto& [secret, key, group] : groups) {
        model.editSecret(secret, "s");
        EXPECT_FALSE(model.ready(group)) << key;
        model.editSecret(secret, "");
        model.setText(key, "v");
        EXPECT_FALSE(model.ready(group)) << key;
        model.editSecret(secret, "s");
        EXPECT_EQ(model.readiness(group), "送信可能 ✓") << key;
    }
}

TEST_F(IntegrationSettingsTest, TheDestinationPage) {
    model.tabShown();
    defaults.set("notionToken", "a");
    EXPECT_EQ(model.picker(), P::loading);
    settle();
    ASSERT_EQ(model.picker(), P::list);
    model.choosePage("id-a");
    EXPECT_EQ(model.picker(), P::chosen);

    // A connect callback stores the token with its page: the page stays, the list is reloaded.
    defaults.set("notionParentId", "id-b");
    defaults.set("notionToken", "b");
    EXPECT_EQ(defaults.stringValue("notionParentId"), "id-b");
    EXPECT_EQ(model.pages(), std::nullopt);
    // The user's own token edit empties the page chosen with the old one.
    model.setManualNotionToken("c");
    EXPECT_EQ(defaults.stringValue("notionParentId"), std::nullopt);
    // The list of a token that changed meanwhile is dropped.
    model.setManualNotionToken("d");
    settle();
    ASSERT_EQ(model.picker(), P::list);
    EXPECT_EQ(model.pages()->front().id, "id-d");

    model.disconnectProvider("notion");
    EXPECT_EQ(model.picker(), P::hidden);
    EXPECT_EQ(model.pages(), std::nullopt);

    fail = true;
    defaults.set("notionToken", "e");
    settle();
    EXPECT_EQ(model.picker(), P::error);
    EXPECT_EQ(model.pagesError(), "ページ一覧の取得に失敗しました");
    fail = false;
    none = true;
    model.reloadPages();
    settle();
    EXPECT_EQ(model.picker(), P::empty);
    none = false;
    model.choosePage("x");
    model.changePage();
    EXPECT_EQ(model.picker(), P::loading);
    settle();
    EXPECT_EQ(model.picker(), P::list);
}

TEST_F(IntegrationSettingsTest, SecretsLiveInTheKeyringAndAreWrittenOnEditsOnly) {
    SecureStore::write("tok-1", "hubspotToken");
    model.tabShown();
    EXPECT_EQ(model.secret(Model::Secret::hubspotToken), "tok-1");
    model.editSecret(Model::Secret::zapierSigningSecret, "hmac");
    model.editSecret(Model::Secret::hubspotToken, "");
    EXPECT_EQ(SecureStore::read("hubspotToken"), "");

    Model reopened(defaults);
    reopened.tabShown();
    EXPECT_EQ(reopened.secret(Model::Secret::hubspotToken), "");
    EXPECT_EQ(reopened.secret(Model::Secret::zapierSigningSecret), "hmac");
    EXPECT_FALSE(defaults.contains("hubspotToken")) << "secrets never reach the settings file";
}

TEST(IntegrationSettingsDeathTest, WithoutAKeyringTheRowSaysTheSecretWasNotKept) {
    testsupport::expectWithoutSessionBus([](UserDefaults& defaults) {
        Model model(defaults);
        model.editSecret(Model::Secret::hubspotToken, "tok");
        return model.readiness(Model::Group::hubspot) ==
                   "キーリングに保存できませんでした: キーリング(Secret Service)が見つかりません" &&
               model.secret(Model::Secret::hubspotToken) == "tok";
    });
}

TEST_F(IntegrationSettingsTest, NotionConnectedWithThePagePicker) {
    for (const auto& [k, v] : {std::pair{"notionToken", "t"},
                               {"notionWorkspace", "ACME 株式会社"},
                               {"slackWebhook", "https://hooks/x"},
                               {"slackTeam", "営業部"}})
        defaults.set(k, v);
    SecureStore::write("hub", "hubspotToken");
    IntegrationSettings tab(
        ctx, new Model(defaults, [](const std::string&) {
            return std::vector<Model::Page>{{"p1", "議事録データベース"}, {"p2", "営業チーム"}};
        }));
    tab.resize(560, 900);
    tab.expandAll();
    tab.show();
    settle();
    EXPECT_TRUE(tab.pagePicker()->isVisibleTo(&tab));
    shoot(tab, QStringLiteral("settings-integrations"));

    tab.pagePicker()->activated(2);
    EXPECT_EQ(defaults.stringValue("notionParentId"), "p2");
    EXPECT_FALSE(tab.pagePicker()->isVisibleTo(&tab));
}

class AccountSettingsTest : public settingstest::SettingsFixture {
protected:
    std::string sent(const char* path, const char* field) {
        const auto r = service.requests("POST", path);
        return r.empty() ? "-" : json::asString(r.back().json().at(field), field);
    }
};

TEST_F(AccountSettingsTest, WhenTheButtonsMaySend) {
    AccountSettingsModel m(services.auth, store);
    for (const auto& [email, ok] :
         {std::pair{"", false}, {"user.example.jp", false}, {"@", true}, {" a@b ", true}}) {
        m.setEmail(QString::fromUtf8(email));
        EXPECT_EQ(m.canRequestCode(), ok) << email;
    }
    for (const auto& [code, ok] : {std::pair{"12345", false},
                                   {"1234567", false},
                                   {" 123456\t", true},
                                   {"１２３４５６", true}}) {
        m.setCode(QString::fromUtf8(code));
        EXPECT_EQ(m.canVerify(), ok) << code;
    }
    for (const char* plan : {"pro", "Pro", "free", "", "team"}) {
        services.auth.setState(AuthModel::LoggedIn{"a@x.jp", plan});
        EXPECT_EQ(m.planBadge(), plan == std::string("pro") ? "Pro" : "Free") << plan;
    }
}

TEST_F(AccountSettingsTest, LoginByCodeThenLogout) {
    AccountSettings tab(ctx);
    tab.resize(560, 520);
    tab.show();
    shoot(tab, QStringLiteral("settings-account-email"));

    // A refused request shows the service's error and leaves the step as it was.
    service.script("POST", "/api/auth/request-code",
                   FakeService::Reply::withJson(400, {{"error", "メールアドレスが不正です"}}));
    QTest::keyClicks(tab.emailField(), QStringLiteral("  me@x.jp "));
    tab.requestButton()->click();
    EXPECT_EQ(tab.requestButton()->text(), "送信中…");
    EXPECT_FALSE(tab.requestButton()->isEnabled());
    ASSERT_TRUE(waitFor([&] { return !services.auth.busy(); }));
    EXPECT_EQ(tab.error()->text(), "メールアドレスが不正です");
    EXPECT_EQ(tab.shownPage(), 0);

    service.clearScripts();
    tab.requestButton()->click();
    ASSERT_TRUE(waitFor([&] { return tab.shownPage() == 1; }));
    EXPECT_EQ(sent("/api/auth/request-code", "email"), "me@x.jp");

    // "戻る" keeps what was typed.
    tab.backButton()->click();
    EXPECT_EQ(tab.shownPage(), 0);
    EXPECT_EQ(tab.emailField()->text(), "  me@x.jp ");
    tab.requestButton()->click();
    ASSERT_TRUE(waitFor([&] { return tab.shownPage() == 1; }));
    QTest::keyClicks(tab.codeField(), QStringLiteral(" 123456 "));
    shoot(tab, QStringLiteral("settings-account-code"));
    tab.verifyButton()->click();
    EXPECT_EQ(tab.verifyButton()->text(), "確認中…");
    ASSERT_TRUE(waitFor([&] { return tab.shownPage() == 2; }));
    EXPECT_EQ(sent("/api/auth/verify", "code"), "123456");

    EXPECT_EQ(tab.count()->text(), "0件");
    addRecord("週次定例");
    EXPECT_EQ(tab.count()->text(), "1件");
    EXPECT_FALSE(tab.upgradeButton()->isEnabled());
    shoot(tab, QStringLiteral("settings-account-signed-in"));
    tab.logoutButton()->click();
    EXPECT_EQ(tab.shownPage(), 0);
}

TEST(BrandMarks, BundledForTheNamesTheTabsUse) {
    for (const char* name : {"anthropic", "openai", "notion", "slack", "discord"})
        EXPECT_TRUE(BrandIcon(QString::fromLatin1(name)).showsLogo()) << name;
}

}  // namespace

// The connect link and its callback, with the browser and the window manager replaced by
// recorders; the notification is checked against the test notification server.
#include <QByteArray>
#include <QDBusConnection>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ServiceFixture.h"
#include "platform/Notifier.h"
#include "service/OAuthLink.h"
#include "service/TavroAPI.h"
#include "support/NotificationWatch.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"

namespace {

std::string base64url(const std::string& bytes, bool pad = false) {
    QByteArray::Base64Options options = QByteArray::Base64UrlEncoding;
    if (!pad) options |= QByteArray::OmitTrailingEquals;
    return QByteArray::fromStdString(bytes).toBase64(options).toStdString();
}

std::string callback(const std::string& provider, const std::string& patch,
                     const std::string& nonce = "N-1", const std::string& head = "tavro://oauth") {
    return head + "?nonce=" + nonce + "&provider=" + provider + "&patch=" + base64url(patch);
}

class OAuthLinkTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    UserDefaults defaults{dir / "defaults.json"};
    // Leads nowhere: most tests look at settings, not at notifications.
    Notifier quiet{QDBusConnection(QStringLiteral("tavro-not-connected"))};
    DesktopRecorder desktop;
    std::vector<QUrl>& opened = desktop.opened;
    int& activations = desktop.activations;
    std::string setting(const std::string& key) const {
        return defaults.stringValue(key).value_or("-");
    }
};

TEST_F(OAuthLinkTest, ConnectThenCallbackOnce) {
    OAuthLink::connect("hubspot", defaults);  // connected by typing its secret, not here
    EXPECT_TRUE(opened.empty());
    OAuthLink::connect("notion", defaults);
    OAuthLink::connect("discord", defaults);  // replaces the pending connection
    const std::string nonce = setting("oauthPendingNonce");
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1].toString().toStdString(),
              TavroAPI::base() + "/api/oauth/discord/start?client=mac&nonce=" + nonce);

    const std::string url = callback("discord", R"({"discordWebhook":"https://d/1"})", nonce);
    OAuthLink::handle(url, defaults, quiet);
    EXPECT_EQ(setting("discordWebhook"), "https://d/1");
    EXPECT_EQ(activations, 1);
    defaults.set("discordWebhook", "https://d/2");
    OAuthLink::handle(url, defaults, quiet);  // the nonce is used up
    EXPECT_EQ(setting("discordWebhook"), "https://d/2");
    EXPECT_EQ(activations, 1);

    // Disconnecting forgets the provider's own keys only.
    for (const char* key : {"notionToken", "notionParentId", "notionPages"}) defaults.set(key, "x");
    OAuthLink::disconnect("notion", defaults);
    EXPECT_EQ(setting("notionToken") + setting("notionParentId") + setting("notionPages"), "--x");
    EXPECT_EQ(setting("discordWebhook"), "https://d/2");
}

TEST_F(OAuthLinkTest, CallbackAcceptsOnlyTheExpectedAnswer) {
    const std::string patch = R"({"slackWebhook":"https://h/T1","slackTeam":"開発"})";
    const std::string head = "tavro://oauth?nonce=N-1&provider=slack&patch=";
    const std::string unchanged = "-|old|-|-";
    const struct {
        std::string url;
        bool nonceLeft;        // still pending afterwards
        std::string settings;  // slackWebhook|slackTeam|slackChannel|notionToken
    } cases[] = {
        {callback("slack", patch), false, "https://h/T1|開発|-|-"},
        {head + base64url(R"({"slackChannel":"#議事録"})", true), false, "-|old|#議事録|-"},
        // An empty value leaves the setting as it was.
        {callback("slack", R"({"slackTeam":"","slackChannel":"#a"})"), false, "-|old|#a|-"},
        // Refused before the nonce is looked at: the connection stays pending. The name is
        // case-sensitive, which QUrl would hide.
        {callback("slack", patch, "N-1", "Tavro://oauth"), true, unchanged},
        {callback("slack", patch, "N-1", "tavro://OAUTH"), true, unchanged},
        {callback("slack", patch, "N-0"), true, unchanged},
        // Refused after the nonce matched: used up, and nothing is written.
        {callback("slack", R"({"slackTeam":"a","notionToken":"s"})"), false, unchanged},
        {head + base64url("{\"slackTeam\":\"\xfb\xff\"}"), false, unchanged},  // not UTF-8
        {head + "eyJ+/w", false, unchanged},  // base64 rather than base64url
        {head + "eyJ9e", false, unchanged},   // an impossible length
        {callback("slack", R"({"slackTeam":1})"), false, unchanged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        for (const char* key : {"slackWebhook", "slackChannel", "notionToken"})
            defaults.remove(key);
        defaults.set("slackTeam", "old");
        defaults.set("oauthPendingNonce", "N-1");
        activations = 0;

        OAuthLink::handle(c.url, defaults, quiet);

        EXPECT_EQ(setting("oauthPendingNonce"), c.nonceLeft ? "N-1" : "-");
        EXPECT_EQ(setting("slackWebhook") + "|" + setting("slackTeam") + "|" +
                      setting("slackChannel") + "|" + setting("notionToken"),
                  c.settings);
        EXPECT_EQ(activations, c.settings == unchanged ? 0 : 1);
    }
}

TEST_F(OAuthLinkTest, ConnectedProviderIsAnnounced) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    Notifier notifier(QDBusConnection::sessionBus());
    const char* autoSend = "議事録の完成後、PDF/Word付きで自動送信されます。";
    const struct {
        const char *provider, *parentBefore, *title, *body;
    } cases[] = {
        {"slack", "", "Slackと接続しました", autoSend},
        {"notion", "", "Notionと接続しました",
         "設定 > 連携 で議事録の保存先ページを選択してください。"},
        {"notion", "page-1", "Notionと接続しました", autoSend},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.provider) + " " + c.parentBefore);
        defaults.set("notionParentId", c.parentBefore);
        defaults.set("oauthPendingNonce", "N-1");
        const std::string key = c.provider == std::string("slack") ? "slackTeam" : "notionToken";
        NotificationWatch watch;
        OAuthLink::handle(callback(c.provider, "{\"" + key + "\":\"v\"}"), defaults, notifier);
        const auto shown = watch.find(QString::fromUtf8(c.title));
        ASSERT_FALSE(shown.empty());
        // As sent to a server that reads markup.
        EXPECT_EQ(shown[0].body, QString::fromUtf8(c.body).toHtmlEscaped());
    }
}

}  // namespace

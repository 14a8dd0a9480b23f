// The connect link and its callback, with the browser and the window manager replaced by
// recorders; the notification is checked against the test notification server.
#include <QDBusConnection>

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/NotificationWatch.h"
#include "platform/Desktop.h"
#include "platform/Notifier.h"
#include "service/OAuthLink.h"
#include "service/TavroAPI.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"

namespace {

std::string base64url(const std::string& bytes, bool pad = false) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    for (unsigned char c : bytes) {
        buffer = (buffer << 8) | c;
        for (bits += 8; bits >= 6;) out.push_back(digits[(buffer >> (bits -= 6)) & 63]);
    }
    if (bits > 0) out.push_back(digits[(buffer << (6 - bits)) & 63]);
    while (pad && out.size() % 4 != 0) out.push_back('=');
    return out;
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
    std::vector<QUrl> opened;
    int activations = 0;
    Desktop::Opener oldOpener = Desktop::setOpener([this](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    Desktop::Activator oldActivator = Desktop::setActivator([this] { ++activations; });

    ~OAuthLinkTest() override {
        Desktop::setOpener(oldOpener);
        Desktop::setActivator(oldActivator);
    }
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
    EXPECT_EQ(nonce.size(), 36u);

    const std::string url = callback("discord", R"({"discordWebhook":"https://d/1"})", nonce);
    OAuthLink::handle(url, defaults, quiet);
    EXPECT_EQ(setting("discordWebhook"), "https://d/1");
    EXPECT_EQ(activations, 1);
    defaults.set("discordWebhook", "https://d/2");
    OAuthLink::handle(url, defaults, quiet);  // the nonce is used up
    EXPECT_EQ(setting("discordWebhook"), "https://d/2");
    EXPECT_EQ(activations, 1);

    defaults.set("notionPages", "x");
    for (const char* key : {"notionToken", "notionWorkspace", "notionParentId"})
        defaults.set(key, "x");
    OAuthLink::disconnect("notion", defaults);
    for (const char* key : {"notionToken", "notionWorkspace", "notionParentId"})
        EXPECT_EQ(setting(key), "-");
    EXPECT_EQ(setting("notionPages"), "x");
    EXPECT_EQ(setting("discordWebhook"), "https://d/2");
}

TEST_F(OAuthLinkTest, CallbackAcceptsOnlyTheExpectedAnswer) {
    const std::string patch = R"({"slackWebhook":"https://h/T1","slackTeam":"開発"})";
    const std::map<std::string, std::string> both = {{"slackWebhook", "https://h/T1"},
                                                     {"slackTeam", "開発"}};
    const std::string head = "tavro://oauth?nonce=N-1&provider=slack&patch=";
    struct Case {
        const char* name;
        std::string url;
        bool nonceLeft;                              // still pending afterwards
        std::map<std::string, std::string> written;  // settings written
    } cases[] = {
        {"slack", callback("slack", patch), false, both},
        {"no host, the name as path", callback("slack", patch, "N-1", "tavro:/oauth/"), false,
         both},
        {"padded",
         head + base64url(R"({"slackChannel":"#議事録"})", true),
         false,
         {{"slackChannel", "#議事録"}}},
        {"percent-encoded nonce",
         callback("slack", R"({"slackChannel":"c"})", "N%2D1"),
         false,
         {{"slackChannel", "c"}}},
        // An empty value leaves the setting as it was.
        {"empty value",
         callback("slack", R"({"slackTeam":"","slackChannel":"#a"})"),
         false,
         {{"slackChannel", "#a"}}},
        // Refused before the nonce is looked at: the connection stays pending.
        {"scheme in capitals", callback("slack", patch, "N-1", "Tavro://oauth"), true, {}},
        {"host in capitals", callback("slack", patch, "N-1", "tavro://OAUTH"), true, {}},
        {"malformed", "tavro://oauth?nonce=N-1&patch=%zz", true, {}},
        {"stale nonce", callback("slack", patch, "N-0"), true, {}},
        {"no nonce", "tavro://oauth?provider=slack&patch=" + base64url(patch), true, {}},
        // Refused after the nonce matched: used up, and nothing is written.
        {"key of another provider",
         callback("slack", R"({"slackTeam":"a","notionToken":"s"})"),
         false,
         {}},
        {"unknown provider", callback("hubspot", R"({"hubspotToken":"t"})"), false, {}},
        {"no patch", "tavro://oauth?nonce=N-1&provider=slack", false, {}},
        {"text not UTF-8", head + base64url("{\"slackTeam\":\"\xfb\xff\"}"), false, {}},
        {"plus and slash", head + "eyJ+/w", false, {}},
        {"impossible length", head + "eyJ9e", false, {}},
        {"not an object", callback("slack", R"(["slackTeam"])"), false, {}},
        {"value not text", callback("slack", R"({"slackTeam":1})"), false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + ": " + c.url);
        for (const char* key : {"slackWebhook", "slackChannel", "notionToken"})
            defaults.remove(key);
        defaults.set("slackTeam", "old");
        defaults.set("oauthPendingNonce", "N-1");
        activations = 0;

        OAuthLink::handle(c.url, defaults, quiet);

        EXPECT_EQ(setting("oauthPendingNonce"), c.nonceLeft ? "N-1" : "-");
        EXPECT_EQ(activations, c.written.empty() ? 0 : 1);
        std::map<std::string, std::string> want = {{"slackTeam", "old"}};
        for (const auto& [key, value] : c.written) want[key] = value;
        for (const char* key : {"slackWebhook", "slackTeam", "slackChannel", "notionToken"})
            EXPECT_EQ(setting(key), want.contains(key) ? want[key] : "-") << key;
    }
}

TEST_F(OAuthLinkTest, ConnectedProviderIsAnnounced) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    Notifier notifier(QDBusConnection::sessionBus());
    const char* autoSend = "議事録の完成後、PDF/Word付きで自動送信されます。";
    struct Case {
        const char* provider;
        const char* parentBefore;  // "" for none
        const char* title;
        const char* body;
    } cases[] = {
        {"slack", "", "Slackと接続しました", autoSend},
        {"notion", "", "Notionと接続しました",
         "設定 > 連携 で議事録の保存先ページを選択してください。"},
        {"notion", "page-1", "Notionと接続しました", autoSend},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.provider) + " " + c.parentBefore);
        defaults.set("notionParentId", c.parentBefore);
        defaults.set("oauthPendingNonce", "N-1");
        const std::string key = c.provider == std::string("slack") ? "slackTeam" : "notionToken";
        NotificationWatch watch;
        OAuthLink::handle(callback(c.provider, "{\"" + key + "\":\"v\"}"), defaults, notifier);
        const auto shown = watch.find(QString::fromUtf8(c.title));
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown[0].body, QString::fromUtf8(c.body));
    }
}

}  // namespace

// The connect link and its callback, with the browser and the window manager replaced by
// recorders; the notification is checked against the test notification server.
#include <QDBusConnection>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "NotificationWatch.h"
#include "platform/Desktop.h"
#include "platform/Notifier.h"
#include "service/OAuthLink.h"
#include "service/TavroAPI.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"
#include "util/Uuid.h"

namespace {

std::string base64url(const std::string& bytes, bool pad = false) {
    static const char* alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    for (unsigned char c : bytes) {
        buffer = (buffer << 8) | c;
        bits += 8;
        while (bits >= 6) out.push_back(alphabet[(buffer >> (bits -= 6)) & 63]);
    }
    if (bits > 0) out.push_back(alphabet[(buffer << (6 - bits)) & 63]);
    while (pad && out.size() % 4 != 0) out.push_back('=');
    return out;
}

std::string callback(const std::string& provider, const std::string& patchJson,
                     const std::string& nonce = "NONCE-1",
                     const std::string& head = "tavro://oauth") {
    return head + "?nonce=" + nonce + "&provider=" + provider + "&patch=" + base64url(patchJson);
}

class OAuthLinkTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    UserDefaults defaults{dir / "defaults.json"};
    // Leads nowhere: these tests look at settings, not at notifications.
    Notifier quiet{QDBusConnection(QStringLiteral("tavro-not-connected"))};
    std::vector<QUrl> opened;
    int activations = 0;
    Desktop::Opener previousOpener = Desktop::setOpener([this](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    Desktop::Activator previousActivator = Desktop::setActivator([this] { ++activations; });

    ~OAuthLinkTest() override {
        Desktop::setOpener(previousOpener);
        Desktop::setActivator(previousActivator);
    }

    std::optional<std::string> setting(const std::string& key) const {
        return defaults.stringValue(key);
    }
};

TEST_F(OAuthLinkTest, ConnectOpensTheConnectPageWithAFreshNonce) {
    OAuthLink::connect("slack", defaults);
    const auto first = setting("oauthPendingNonce");
    ASSERT_TRUE(first);
    EXPECT_TRUE(uuid::isCanonical(*first));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString().toStdString(),
              TavroAPI::base() + "/api/oauth/slack/start?client=mac&nonce=" + *first);

    // A second connection replaces the pending one.
    OAuthLink::connect("notion", defaults);
    EXPECT_NE(setting("oauthPendingNonce"), first);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_TRUE(opened[1].path().endsWith("/api/oauth/notion/start"));

    // Providers connected by typing their secrets have no connect page.
    OAuthLink::connect("hubspot", defaults);
    EXPECT_EQ(opened.size(), 2u);
}

TEST_F(OAuthLinkTest, DisconnectRemovesExactlyTheProvidersKeys) {
    for (const char* key : {"notionToken", "notionWorkspace", "notionParentId", "slackWebhook",
                            "oauthPendingNonce", "notionPages"})
        defaults.set(key, "x");
    OAuthLink::disconnect("zapier", defaults);
    EXPECT_TRUE(setting("notionToken"));
    OAuthLink::disconnect("notion", defaults);
    for (const char* gone : {"notionToken", "notionWorkspace", "notionParentId"})
        EXPECT_FALSE(setting(gone)) << gone;
    for (const char* kept : {"slackWebhook", "oauthPendingNonce", "notionPages"})
        EXPECT_TRUE(setting(kept)) << kept;
}

TEST_F(OAuthLinkTest, CallbackAcceptsOnlyTheExpectedAnswer) {
    const std::string slackPatch =
        R"({"slackWebhook":"https://hooks.slack.test/T1","slackTeam":"開発"})";
    struct Case {
        const char* name;
        std::string url;
        bool nonceLeft;                              // still pending afterwards
        std::map<std::string, std::string> written;  // settings expected afterwards
    } cases[] = {
        {"slack",
         callback("slack", slackPatch),
         false,
         {{"slackWebhook", "https://hooks.slack.test/T1"}, {"slackTeam", "開発"}}},
        {"no host, the name as path",
         callback("slack", slackPatch, "NONCE-1", "tavro:/oauth/"),
         false,
         {{"slackWebhook", "https://hooks.slack.test/T1"}, {"slackTeam", "開発"}}},
        {"padded patch",
         "tavro://oauth?nonce=NONCE-1&provider=discord&patch=" +
             base64url(R"({"discordChannel":"#議事録"})", true),
         false,
         {{"discordChannel", "#議事録"}}},
        {"percent-encoded nonce",
         callback("discord", R"({"discordChannel":"c"})", "NONCE%2D1"),
         false,
         {{"discordChannel", "c"}}},
        // An empty value leaves the setting as it was.
        {"empty value",
         callback("slack", R"({"slackTeam":"","slackChannel":"#a"})"),
         false,
         {{"slackTeam", "old team"}, {"slackChannel", "#a"}}},
        // Refused before the nonce is looked at: the connection stays pending.
        {"scheme in capitals", callback("slack", slackPatch, "NONCE-1", "Tavro://oauth"), true, {}},
        {"host in capitals", callback("slack", slackPatch, "NONCE-1", "tavro://OAUTH"), true, {}},
        {"other callback", callback("slack", slackPatch, "NONCE-1", "tavro://login"), true, {}},
        {"malformed", "tavro://oauth?nonce=NONCE-1&patch=%zz", true, {}},
        {"stale nonce", callback("slack", slackPatch, "NONCE-0"), true, {}},
        {"no nonce", "tavro://oauth?provider=slack&patch=" + base64url(slackPatch), true, {}},
        // Refused after the nonce matched: the connection is used up, nothing is written.
        {"key of another provider",
         callback("slack", R"({"slackWebhook":"https://h","notionToken":"secret"})"),
         false,
         {}},
        {"unknown provider", callback("hubspot", R"({"hubspotToken":"t"})"), false, {}},
        {"no patch", "tavro://oauth?nonce=NONCE-1&provider=slack", false, {}},
        {"text not UTF-8",
         "tavro://oauth?nonce=NONCE-1&provider=slack&patch=" +
             base64url("{\"slackTeam\":\"\xfb\xff\"}"),
         false,
         {}},
        {"plus and slash", "tavro://oauth?nonce=NONCE-1&provider=slack&patch=eyJ+/w", false, {}},
        {"impossible length", "tavro://oauth?nonce=NONCE-1&provider=slack&patch=eyJ9e", false, {}},
        {"not an object", callback("slack", R"(["slackTeam"])"), false, {}},
        {"value not text", callback("slack", R"({"slackTeam":1})"), false, {}},
        {"not JSON", callback("slack", "slackTeam=x"), false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + ": " + c.url);
        for (const auto& [key, allowed] : OAuthLink::allowedKeysByProvider())
            for (const auto& k : allowed) defaults.remove(k);
        defaults.set("slackTeam", "old team");
        defaults.set("oauthPendingNonce", "NONCE-1");
        activations = 0;

        OAuthLink::handle(c.url, defaults, quiet);

        EXPECT_EQ(setting("oauthPendingNonce").has_value(), c.nonceLeft);
        const bool success = !c.written.empty();
        EXPECT_EQ(activations, success ? 1 : 0);
        std::map<std::string, std::string> written = {{"slackTeam", "old team"}};
        for (const auto& [key, value] : c.written) written[key] = value;
        for (const auto& [key, allowed] : OAuthLink::allowedKeysByProvider())
            for (const auto& k : allowed)
                EXPECT_EQ(setting(k),
                          written.contains(k) ? std::optional(written[k]) : std::nullopt)
                    << k;
    }
}

TEST_F(OAuthLinkTest, TheSameCallbackWorksOnce) {
    defaults.set("oauthPendingNonce", "NONCE-1");
    const std::string url = callback("discord", R"({"discordWebhook":"https://d/1"})");
    OAuthLink::handle(url, defaults, quiet);
    EXPECT_EQ(setting("discordWebhook"), "https://d/1");
    defaults.set("discordWebhook", "https://d/2");
    OAuthLink::handle(url, defaults, quiet);
    EXPECT_EQ(setting("discordWebhook"), "https://d/2");
    EXPECT_EQ(activations, 1);
    // Without any pending connection, even an empty nonce matches nothing.
    defaults.set("oauthPendingNonce", "");
    OAuthLink::handle(callback("discord", R"({"discordWebhook":"x"})", ""), defaults, quiet);
    EXPECT_EQ(activations, 1);
}

TEST_F(OAuthLinkTest, ConnectedProviderIsAnnounced) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    Notifier notifier(QDBusConnection::sessionBus());
    const char* autoSend = "議事録の完成後、PDF/Word付きで自動送信されます。";
    struct Case {
        const char* provider;
        const char* patch;
        std::optional<const char*> parentBefore;
        const char* title;
        const char* body;
    } cases[] = {
        {"slack", R"({"slackWebhook":"https://h"})", {}, "Slackと接続しました", autoSend},
        {"notion",
         R"({"notionToken":"n"})",
         {},
         "Notionと接続しました",
         "設定 > 連携 で議事録の保存先ページを選択してください。"},
        {"notion", R"({"notionToken":"n"})", "page-1", "Notionと接続しました", autoSend},
        {"notion",
         R"({"notionToken":"n","notionParentId":"page-2"})",
         {},
         "Notionと接続しました",
         autoSend},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.provider) + " " + c.patch);
        defaults.remove("notionParentId");
        if (c.parentBefore) defaults.set("notionParentId", *c.parentBefore);
        defaults.set("oauthPendingNonce", "NONCE-1");
        NotificationWatch watch;
        OAuthLink::handle(callback(c.provider, c.patch), defaults, notifier);
        const auto shown = watch.shown();
        auto ours = std::find_if(shown.begin(), shown.end(), [&](const auto& n) {
            return n.summary == QString::fromUtf8(c.title);
        });
        ASSERT_NE(ours, shown.end());
        EXPECT_EQ(ours->body, QString::fromUtf8(c.body));
    }
}

}  // namespace

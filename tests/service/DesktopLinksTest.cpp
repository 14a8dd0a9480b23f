// The connect link and its callback, and the update checker: the browser and the window manager
// replaced by recorders, notifications checked against the test notification server.
#include <QByteArray>
#include <QDBusConnection>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "ServiceFixture.h"
#include "platform/Notifier.h"
#include "service/OAuthLink.h"
#include "service/TavroAPI.h"
#include "service/UpdateChecker.h"
#include "support/NotificationWatch.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"
#include "util/UserDefaults.h"

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

const std::string kHost = QUrl(TavroAPI::kDefaultBase).host().toStdString();
const std::string kDownload = "https://" + kHost + "/download/TAVRO.dmg";

TEST(UpdateCheckerRules, VersionsCompareByNumber) {
    // offered, running, whether the offer is newer ("_" stands for an empty version)
    std::istringstream table(R"(
        1.10 1.9 1        1.9 1.10 0       1.2.0 1.2 0      1.2.1 1.2 1
        2.0-beta 1.9 1    1.9-beta 1.9 0   1.0 0 1          0.0 0 0
        1..2 1.1 1        .1. 0.9 1        +2 1 1           -1 0 0
        +-2 1 0           _ _ 0            1.2.3.4 1.2.3 1  99999999999999999999 1 0
        9223372036854775807 9223372036854775806 1)");
    std::string offered, running;
    bool newer;
    while (table >> offered >> running >> newer) {
        if (offered == "_") offered.clear();
        if (running == "_") running.clear();
        EXPECT_EQ(UpdateChecker::isNewer(offered, running), newer) << offered << " vs " << running;
    }
    EXPECT_FALSE(UpdateChecker::isNewer(" 2", "1"));
}

TEST(UpdateCheckerRules, FeedReplies) {
    // A feed offering 2.0 from `download`, padded with spaces to `size` bytes.
    auto feed = [](const std::string& download, std::size_t size = 0) {
        std::string body = json::dumpCompact({{"version", "2.0"}, {"dmgUrl", download}});
        return body.insert(1, std::max(size, body.size()) - body.size(), ' ');
    };
    const std::string site = "https://" + kHost;
    const struct {
        long status;
        std::string body;
        bool loopback, offered;
    } cases[] = {
        {200, feed(kDownload), false, true},
        {201, feed(kDownload), false, false},
        {200, feed(kDownload, 32768), false, true},
        {200, feed(kDownload, 32769), false, false},
        {200, "<html>", false, false},
        {200, R"({"version":2,"dmgUrl":")" + kDownload + "\"}", false, false},
        {200, R"({"version":"2.0"})", false, false},
        // Only the service's own download, unless the feed itself is on this machine.
        {200, feed(site + ":8443/download/TAVRO.dmg?x=1#f"), false, true},
        {200, feed("http://" + kHost + "/download/TAVRO.dmg"), false, false},
        {200, feed("https://evil.example/download/TAVRO.dmg"), false, false},
        {200, feed(site + ".evil.example/download/TAVRO.dmg"), false, false},
        {200, feed(site + "/download/other.dmg"), false, false},
        {200, feed(site + "/download/../download/TAVRO.dmg"), false, false},
        {200, feed("http://127.0.0.1:1/a.dmg"), true, true},
        {200, feed("file:///usr/bin/xterm"), true, false},  // but only a web address
        {200, feed("javascript:alert(1)"), true, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UpdateChecker::readFeed(c.status, c.body, c.loopback, "1.2").has_value(),
                  c.offered)
            << c.status << " " << c.body.substr(0, 80);
    EXPECT_FALSE(UpdateChecker::readFeed(200, feed(kDownload), false, "2.0.0"));
}

// The update checker with the same settings, notifier and recorders.
using UpdateCheckerTest = OAuthLinkTest;

TEST_F(UpdateCheckerTest, OnlyALoopbackFeedReplacesTheServicesOwn) {
    UpdateChecker checker("1.0", defaults, quiet);
    const std::string service = TavroAPI::base() + "/version.json";
    EXPECT_EQ(checker.feedURL(), service);
    for (const auto& [configured, used] : std::initializer_list<std::pair<std::string, bool>>{
             {"http://127.0.0.1:8123/feed.json", true},
             {"http://localhost/v", true},
             {"https://feeds.example/version.json", false},
             {"http://127.0.0.2/version.json", false},
             {"http://localhost.example/version.json", false},
             {"not an address", false}}) {
        defaults.set("updateFeedURL", configured);
        EXPECT_EQ(checker.feedURL(), used ? configured : service) << configured;
    }
}

TEST_F(UpdateCheckerTest, FoundPublishedAnnouncedOnceAndOpenedByAClick) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    FakeService fake;
    Notifier notifier(QDBusConnection::sessionBus());
    // Unique per process: test processes share the notification server.
    const std::string version = "9." + std::to_string(getpid());
    const QString title = QString::fromStdString("TAVRO " + version + " が利用できます");
    const std::string download = fake.baseUrl() + "/download/TAVRO.dmg";
    ScopedServiceUrl service(fake.baseUrl());  // the feed follows the service's address
    fake.setLatestVersion(version);

    NotificationWatch watch;
    {
        UpdateChecker checker("0.1.0", defaults, notifier);
        checker.openDownload();  // nothing found yet
        EXPECT_TRUE(opened.empty());

        checker.start();
        settleServiceCalls();
        EXPECT_EQ(checker.availableVersion(), version);
        EXPECT_EQ(checker.downloadURL(), download);
        ASSERT_TRUE(checker.findChild<QTimer*>());
        EXPECT_TRUE(checker.findChild<QTimer*>()->isActive());
        const auto shown = watch.find(title);
        ASSERT_EQ(shown.size(), 1u);

        // A click on the notification opens the download.
        QTest::qWait(100);  // the server's id may still be on its way to the notifier
        ASSERT_TRUE(testsupport::TestNotificationServer::click(shown[0].id));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.empty(); }, 5000));
        EXPECT_EQ(opened[0].toString().toStdString(), download);
    }

    // After a restart the version is published again, still without a second notification.
    fake.clearScripts();
    UpdateChecker restarted("0.1.0", defaults, notifier);
    restarted.check();
    settleServiceCalls();
    EXPECT_EQ(restarted.availableVersion(), version);
    QTest::qWait(200);  // time for a second notification to reach the server, were one sent
    EXPECT_EQ(watch.find(title).size(), 1u);
}

}  // namespace

// The update checker: its rules as tables, and whole checks against the fake service's feed
// with the test notification server.
#include <QDBusConnection>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <sstream>
#include <string>

#include "ServiceFixture.h"
#include "platform/Notifier.h"
#include "service/TavroAPI.h"
#include "service/UpdateChecker.h"
#include "support/NotificationWatch.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"
#include "util/UserDefaults.h"

namespace {

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

TEST(UpdateCheckerRules, OnlyALoopbackFeedReplacesTheServicesOwn) {
    testsupport::TempDir dir;
    UserDefaults defaults(dir / "defaults.json");
    Notifier quiet(QDBusConnection(QStringLiteral("tavro-not-connected")));
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

TEST(UpdateCheckerTest, FoundPublishedAnnouncedOnceAndOpenedByAClick) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    FakeService fake;
    testsupport::TempDir dir;
    UserDefaults defaults(dir / "defaults.json");
    Notifier notifier(QDBusConnection::sessionBus());
    DesktopRecorder desktop;
    const std::vector<QUrl>& opened = desktop.opened;
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

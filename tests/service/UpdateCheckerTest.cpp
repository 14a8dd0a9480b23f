// The update checker: its rules as tables, and whole checks against the fake service's feed
// with the test notification server.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/NotificationWatch.h"
#include "SettleCalls.h"
#include "fakeservice/FakeService.h"
#include "platform/Desktop.h"
#include "platform/Notifier.h"
#include "service/TavroAPI.h"
#include "service/UpdateChecker.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"
#include "util/UserDefaults.h"

namespace {

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

TEST(UpdateCheckerRules, OnlyTheServicesOwnDownloadIsOpened) {
    const std::string host = QUrl(TavroAPI::kDefaultBase).host().toStdString();
    struct Case {
        std::string url;
        bool allowed;
    } cases[] = {
        {"https://" + host + "/download/TAVRO.dmg", true},
        {"https://" + host + ":8443/download/TAVRO.dmg?x=1#f", true},
        {"http://" + host + "/download/TAVRO.dmg", false},
        {"https://evil.example/download/TAVRO.dmg", false},
        {"https://" + host + ".evil.example/download/TAVRO.dmg", false},
        {"https://" + host + "/download/other.dmg", false},
        {"https://" + host + "/download/../download/TAVRO.dmg", false},
        {"/download/TAVRO.dmg", false},
        {"https:///download/TAVRO.dmg", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UpdateChecker::isAllowedDownload(c.url), c.allowed) << c.url;
}

TEST(UpdateCheckerRules, FeedReplies) {
    const std::string host = QUrl(TavroAPI::kDefaultBase).host().toStdString();
    const std::string dmg = "https://" + host + "/download/TAVRO.dmg";
    auto feed = [&](const json::Value& v) { return json::dumpCompact(v); };
    // A feed padded with spaces to exactly `size` bytes.
    auto sized = [&](std::size_t size) {
        std::string body = feed({{"version", "2.0"}, {"dmgUrl", dmg}});
        body.insert(1, size - body.size(), ' ');
        return body;
    };
    struct Case {
        const char* name;
        long status;
        std::string body;
        bool loopback;
        std::optional<std::string> offered;
    } cases[] = {
        {"newer", 200, feed({{"version", "2.0"}, {"dmgUrl", dmg}, {"notes", 1}}), false, "2.0"},
        {"not newer", 200, feed({{"version", "1.2.0"}, {"dmgUrl", dmg}}), false, {}},
        {"status 201", 201, feed({{"version", "2.0"}, {"dmgUrl", dmg}}), false, {}},
        {"largest body", 200, sized(32768), false, "2.0"},
        {"one byte too many", 200, sized(32769), false, {}},
        {"empty", 200, "", false, {}},
        {"not JSON", 200, "<html>", false, {}},
        {"a list", 200, "[]", false, {}},
        {"version a number", 200, feed({{"version", 2}, {"dmgUrl", dmg}}), false, {}},
        {"no download", 200, feed({{"version", "2.0"}}), false, {}},
        {"download not an address", 200, feed({{"version", "2.0"}, {"dmgUrl", "::"}}), false, {}},
        {"foreign download",
         200,
         feed({{"version", "2.0"}, {"dmgUrl", "https://x.test/a.dmg"}}),
         false,
         {}},
        {"foreign download from a loopback feed", 200,
         feed({{"version", "2.0"}, {"dmgUrl", "http://127.0.0.1:1/a.dmg"}}), true, "2.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto offer = UpdateChecker::readFeed(c.status, c.body, c.loopback, "1.2");
        EXPECT_EQ(offer ? std::optional(offer->version) : std::nullopt, c.offered);
    }
}

TEST(UpdateCheckerRules, FeedAddress) {
    testsupport::TempDir dir;
    UserDefaults defaults(dir / "defaults.json");
    Notifier quiet(QDBusConnection(QStringLiteral("tavro-not-connected")));
    UpdateChecker checker("1.0", defaults, quiet);
    const std::string service = std::string(TavroAPI::kDefaultBase) + "/version.json";
    EXPECT_EQ(checker.feedURL(), service);
    for (const auto& [configured, used] : std::vector<std::pair<std::string, std::string>>{
             {"http://127.0.0.1:8123/feed.json", "http://127.0.0.1:8123/feed.json"},
             {"http://localhost/v", "http://localhost/v"},
             {"https://feeds.example/version.json", service},
             {"http://127.0.0.2/version.json", service},
             {"http://localhost.example/version.json", service},
             {"not an address", service}}) {
        defaults.set("updateFeedURL", configured);
        EXPECT_EQ(checker.feedURL(), used) << configured;
    }
}

// Whole checks against the fake service's feed, announced on the test notification server.
TEST(UpdateCheckerTest, FoundPublishedAnnouncedOnceAndOpenedByAClick) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    FakeService fake;
    testsupport::TempDir dir;
    UserDefaults defaults(dir / "defaults.json");
    Notifier notifier(QDBusConnection::sessionBus());
    std::vector<QUrl> opened;
    const auto oldOpener = Desktop::setOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    // Unique per process: test processes share the notification server.
    const std::string version = "9." + std::to_string(getpid());
    const QString title = QString::fromStdString("TAVRO " + version + " が利用できます");
    const std::string download = fake.baseUrl() + "/download/TAVRO.dmg";
    defaults.set("updateFeedURL", fake.baseUrl() + "/version.json");
    fake.setLatestVersion(version);

    NotificationWatch watch;
    {
        UpdateChecker checker("0.1.0", defaults, notifier);
        QSignalSpy published(&checker, &UpdateChecker::availableVersionChanged);
        checker.openDownload();  // nothing found yet
        EXPECT_TRUE(opened.empty());

        checker.start();
        settleServiceCalls();
        EXPECT_EQ(checker.availableVersion(), version);
        EXPECT_EQ(checker.downloadURL(), download);
        auto* timer = checker.findChild<QTimer*>();
        ASSERT_TRUE(timer);
        EXPECT_TRUE(timer->isActive());
        EXPECT_EQ(timer->interval(), 21600 * 1000);
        const auto shown = watch.find(title);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].body, "通知をクリックするとダウンロードします(メニューバーからも可能)");

        // Found again: published again, not announced again. Failures and an older offer
        // change nothing.
        checker.check();
        settleServiceCalls();
        for (const auto& reply :
             {FakeService::Reply::withJson(500, {{"error", "x"}}),
              FakeService::Reply::withJson(200, {{"version", "0.0.1"}, {"dmgUrl", download}})}) {
            fake.script("GET", "/version.json", reply);
            checker.check();
            settleServiceCalls();
        }
        EXPECT_EQ(published.size(), 2);
        EXPECT_EQ(checker.availableVersion(), version);

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
    Desktop::setOpener(oldOpener);
}

}  // namespace

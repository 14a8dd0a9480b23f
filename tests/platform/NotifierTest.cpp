// Notifications against the test notification server on the private session bus.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTest>

#include <thread>

#include <gtest/gtest.h>

#include "platform/Notifier.h"
#include "support/TestEnv.h"
#include "support/TestNotificationServer.h"

using testsupport::TestNotificationServer;

namespace {

// The newest record with this summary (made unique per test process), once the server has it.
std::optional<testsupport::RecordedNotification> waitFor(const QString& base) {
    const QString summary = QString("%1 %2").arg(base).arg(QCoreApplication::applicationPid());
    for (QDeadlineTimer deadline(5000); !deadline.hasExpired();) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (auto all = TestNotificationServer::notifications())
            for (auto it = all->rbegin(); it != all->rend(); ++it)
                if (it->summary == summary) return *it;
    }
    return std::nullopt;
}

void post(Notifier& n, const QString& id, const QString& base, const QString& body,
          Notifier::Click click = Notifier::Click::ignored) {
    n.post(id, QString("%1 %2").arg(base).arg(QCoreApplication::applicationPid()), body, click);
}

// The test server has no "sound" of its own, so the app plays the sound it asks for; and it reads
// bodies as markup, so text (a title from the service) is escaped to show as written.
TEST(Notifier, PostsAndReportsTheClickedIdentifier) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    Notifier notifier(QDBusConnection::sessionBus());
    EXPECT_TRUE(notifier.available());
    int played = 0;
    notifier.setSoundPlayer([&] { ++played; });
    QSignalSpy clicked(&notifier, &Notifier::clicked);
    post(notifier, "update-2.0", "TAVRO 2.0 が利用できます",
         R"(<a href="https://x">定例</a> & <b>)", Notifier::Click::opens);
    const auto shown = waitFor("TAVRO 2.0 が利用できます");
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->body, R"(&lt;a href="https://x"&gt;定例&lt;/a&gt; &amp; &lt;b&gt;)");
    EXPECT_TRUE(shown->textHints.contains("sound-name=message-new-instant"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return played == 1; }, 5000));
    EXPECT_TRUE(shown->actions.contains("default"));
    // The reply carrying the server's id may still be on its way.
    QTest::qWait(100);
    ASSERT_TRUE(TestNotificationServer::click(shown->id));
    ASSERT_TRUE(clicked.wait(5000));
    EXPECT_EQ(clicked.at(0).at(0).toString(), "update-2.0");
}

TEST(Notifier, PostingFromAWorkerThreadAndWithoutAServer) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    Notifier notifier(QDBusConnection::sessionBus());
    std::thread([&] { post(notifier, "ABC", "議事録が完成しました", "定例"); }).join();
    const auto shown = waitFor("議事録が完成しました");
    EXPECT_TRUE(shown && shown->actions.isEmpty()) << "nothing opens, so nothing is offered";
    // A connection that leads nowhere: nothing shown, nothing thrown, nothing blocks.
    Notifier orphan(QDBusConnection(QStringLiteral("tavro-not-connected")));
    EXPECT_FALSE(orphan.available());
    orphan.post("X", "t", "b");
}

}  // namespace

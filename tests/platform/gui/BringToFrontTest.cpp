// Bringing the app to the front while another application has the focus, under the test X
// server's window manager.
#include <QRasterWindow>

#include <gtest/gtest.h>

#include "platform/Desktop.h"
#include "platform/fixtures/FixtureWindow.h"
#include "support/TestEnv.h"

namespace {

QString activeWindow() {
    QProcess xdotool;
    xdotool.start("xdotool", {"getactivewindow"});
    xdotool.waitForFinished(5000);
    return QString::fromLatin1(xdotool.readAllStandardOutput()).trimmed();
}

TEST(BringToFront, TakesTheFocusBackFromAnotherApplication) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    QRasterWindow ours;
    ours.setTitle("TAVRO");
    ours.resize(400, 300);
    ours.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ours));

    FixtureWindow other({"--title", "another application", "--size", "300x200"});
    ASSERT_TRUE(other.id());
    const QString otherWindow = QString::number(*other.id());
    ASSERT_EQ(QProcess::execute("xdotool", {"windowactivate", "--sync", otherWindow}), 0);
    // The window manager names the active window after the focus has moved, so both are
    // awaited.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !ours.isActive() && activeWindow() == otherWindow; }, 20000));

    Desktop::bringToFront();
    const QString oursId = QString::number(ours.winId());
    EXPECT_TRUE(QTest::qWaitFor([&] { return ours.isActive() && activeWindow() == oursId; }, 20000))
        << "active: " << activeWindow().toStdString() << ", ours: " << oursId.toStdString();
}

}  // namespace

// Bringing the app to the front while another application has the focus, under the test X
// server's window manager.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QRasterWindow>
#include <QTest>

#include <gtest/gtest.h>

#include "platform/Desktop.h"
#include "support/TestEnv.h"

namespace {

QString activeWindow() {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")});
    xdotool.waitForFinished(5000);
    return QString::fromLatin1(xdotool.readAllStandardOutput()).trimmed();
}

bool activate(const QString& window) {
    return QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"),
                                                         QStringLiteral("--sync"), window}) == 0;
}

TEST(BringToFront, TakesTheFocusBackFromAnotherApplication) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    QRasterWindow ours;
    ours.setTitle(QStringLiteral("TAVRO"));
    ours.resize(400, 300);
    ours.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ours));

    QProcess other;
    other.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--other-app")});
    ASSERT_TRUE(other.waitForReadyRead(10000));
    const QString otherWindow = QString::fromLatin1(other.readLine()).trimmed();
    ASSERT_TRUE(activate(otherWindow));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ours.isActive(); }, 5000));
    EXPECT_EQ(activeWindow(), otherWindow);

    Desktop::bringToFront();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ours.isActive(); }, 5000));
    EXPECT_EQ(activeWindow(), QString::number(ours.winId()));

    other.kill();
    other.waitForFinished(5000);
}

}  // namespace

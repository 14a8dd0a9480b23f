// The pill's bars and spinner follow the desktop's setting to reduce motion while it is shown.
#include <QTest>

#include <gtest/gtest.h>

#include "FakeRecorder.h"
#include "desktop/RecordingPillView.h"
#include "desktop/WaveBars.h"
#include "platform/DesktopMotionSetting.h"
#include "support/ScopedGnomeSetting.h"
#include "support/TestEnv.h"
#include "ui/Screenshots.h"

namespace {
const char* const kSchema = "org.gnome.desktop.interface";
}  // namespace

// Shown while the desktop's setting turns: the bars and the spinner stop and start again.
TEST(RecordingPill, FollowsTheDesktopSettingWhileShown) {
    TAVRO_REQUIRE_ENV("GNOME settings in memory", testsupport::ScopedGnomeSetting::probe(kSchema));
    qunsetenv("TAVRO_REDUCE_MOTION");
    testsupport::ScopedGnomeSetting gnome(kSchema, "enable-animations");
    const DesktopMotionSetting& desktop = DesktopMotionSetting::shared();
    FakeRecorder rec;
    rec.start();
    RecordingPillView pill(rec);
    pill.show();
    const WaveBars* bars = pill.findChild<WaveBars*>();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bars->moving(); }, 10000));

    gnome.set(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return desktop.reduceMotion(); }, 10000));
    EXPECT_FALSE(bars->moving());
    uitest::shoot(pill, QStringLiteral("pill-recording-desktop-still"));
    rec.toggle();  // processing
    EXPECT_FALSE(pill.spinning());

    gnome.set(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return pill.spinning(); }, 10000));
    rec.setPhase(RecorderControl::Phase::recording);
    EXPECT_TRUE(bars->moving());
    gnome.set(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !bars->moving(); }, 10000));
}

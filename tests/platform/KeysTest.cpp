#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include "platform/CaptureExclusion.h"
#include "platform/GlobalKeySource.h"
#include "support/KeyboardLock.h"
#include "support/TestEnv.h"

namespace {

constexpr quint32 kControlL = 0xffe3;
constexpr quint32 kLetterA = 0x61;

// Keys synthesised on the test X server reach the source while no window of ours exists.
TEST(GlobalKeySource, SeesKeysOfTheWholeDisplay) {
    TAVRO_REQUIRE_ENV("X server (DISPLAY)", testsupport::probeDisplay());
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    TAVRO_REQUIRE_ENV("xdotool", !xdotool.isEmpty());

    testsupport::KeyboardLock lock;
    GlobalKeySource keys;
    ASSERT_TRUE(keys.start());
    ASSERT_TRUE(keys.available());
    // Signed keysyms: pressed positive, released negative. xdotool repeats the release of a
    // modifier it typed, so repeats in a row are folded.
    std::vector<qint64> seen;
    auto note = [&](qint64 v) {
        if (seen.empty() || seen.back() != v) seen.push_back(v);
    };
    QObject::connect(&keys, &GlobalKeySource::keyPressed, [&](quint32 s) { note(s); });
    QObject::connect(&keys, &GlobalKeySource::keyReleased, [&](quint32 s) { note(-qint64(s)); });
    ASSERT_EQ(QProcess::execute(xdotool, {"key", "ctrl", "key", "a"}), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.size() >= 4; }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(seen,
              (std::vector<qint64>{kControlL, -qint64(kControlL), kLetterA, -qint64(kLetterA)}));
}

TEST(GlobalKeySource, WithoutDisplayStaysSilent) {
    const QByteArray saved = qgetenv("DISPLAY");
    qputenv("DISPLAY", "");
    GlobalKeySource keys;
    EXPECT_FALSE(keys.start());
    EXPECT_FALSE(keys.available());
    if (saved.isNull())
        qunsetenv("DISPLAY");
    else
        qputenv("DISPLAY", saved);
}

// No X11 or Wayland request keeps a window out of other programs' capture; never pretend.
TEST(CaptureExclusion, ReportsThatItCannotHideWindows) {
    EXPECT_FALSE(CaptureExclusion::supported());
    EXPECT_FALSE(CaptureExclusion::setExcluded(nullptr, true));
    EXPECT_FALSE(CaptureExclusion::setExcluded(nullptr, false));
}

}  // namespace

#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

#include "FakeRecorder.h"
#include "desktop/MeetingPromptView.h"
#include "desktop/RecordingPillView.h"
#include "desktop/WaveBars.h"

namespace {

// Still frames, so the saved pictures are stable.
class PanelViews : public ::testing::Test {
protected:
    void SetUp() override { qputenv("TAVRO_REDUCE_MOTION", "1"); }
    void TearDown() override { qunsetenv("TAVRO_REDUCE_MOTION"); }

    // Saves the widget as a test artifact and returns its size in device-independent pixels.
    static QSizeF shoot(QWidget& w, const QString& name) {
        w.show();
        const QImage img = w.grab().toImage();
        QDir().mkpath(QStringLiteral(TAVRO_ARTIFACT_DIR));
        EXPECT_TRUE(
            img.save(QStringLiteral(TAVRO_ARTIFACT_DIR "/") + name + QStringLiteral(".png")));
        return QSizeF(img.size()) / img.devicePixelRatio();
    }
};

TEST_F(PanelViews, PillRecordingThenProcessing) {
    FakeRecorder rec;
    rec.start();
    rec.setElapsed(75);
    RecordingPillView pill(rec);
    const QSizeF recording = shoot(pill, QStringLiteral("pill-recording"));
    EXPECT_EQ(recording.width(), RecordingPillView::kWidth);
    EXPECT_GT(recording.height(), recording.width() * 2) << "a narrow vertical capsule";
    EXPECT_EQ(pill.clockLabel(), QStringLiteral("1:15"));
    EXPECT_TRUE(pill.showsStopButton());
    EXPECT_TRUE(pill.findChild<WaveBars*>()->isVisible());

    rec.toggle();
    EXPECT_EQ(shoot(pill, QStringLiteral("pill-processing")), recording)
        << "the panel keeps the size it was made with";
    EXPECT_FALSE(pill.showsStopButton());
    EXPECT_TRUE(pill.stopButtonRect().isEmpty());
    EXPECT_FALSE(pill.findChild<WaveBars*>()->isVisible()) << "no bars while processing";
}

TEST_F(PanelViews, MeetingPrompt) {
    const QString longTitle =
        QStringLiteral("四半期の事業計画と来期の予算配分についての全社横断レビュー会議");
    for (const QString& title : {QStringLiteral("定例"), longTitle}) {
        int presses = 0;
        MeetingPromptView view(
            title, [&] { ++presses; }, [&] { ++presses; });
        const QSizeF size = shoot(view, title == longTitle ? QStringLiteral("prompt-long-title")
                                                           : QStringLiteral("prompt"));
        EXPECT_EQ(size.width(), MeetingPromptView::kWidth);
        EXPECT_LT(size.height(), 100);
        const QString full = QStringLiteral("「") + title + QStringLiteral("」が始まりました");
        EXPECT_EQ(view.fullTitle(), full);
        if (title == longTitle)
            EXPECT_TRUE(view.shownTitle().endsWith(QChar(0x2026))) << "cut to one line";
        else
            EXPECT_EQ(view.shownTitle(), full);
        EXPECT_LT(view.startButtonRect().right(), view.closeButtonRect().left());
        EXPECT_EQ(presses, 0);
    }
}

}  // namespace

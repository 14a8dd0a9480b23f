#include <QApplication>
#include <QDir>
#include <QHelpEvent>
#include <QImage>
#include <QPixmap>
#include <QToolTip>

#include <gtest/gtest.h>

#include "FakeRecorder.h"
#include "desktop/MeetingPromptView.h"
#include "desktop/RecordingPillView.h"
#include "desktop/WaveBars.h"

namespace {

using Phase = RecorderControl::Phase;

// Still frames, so the saved pictures are stable.
class PanelViews : public ::testing::Test {
protected:
    void SetUp() override { qputenv("TAVRO_REDUCE_MOTION", "1"); }
    void TearDown() override { qunsetenv("TAVRO_REDUCE_MOTION"); }

    // Saves the widget as a test artifact and returns the picture.
    QImage shoot(QWidget& w, const QString& name) {
        w.ensurePolished();
        const QImage img = w.grab().toImage();
        const QString dir = QStringLiteral(TAVRO_ARTIFACT_DIR);
        QDir().mkpath(dir);
        EXPECT_TRUE(img.save(dir + QLatin1Char('/') + name + QStringLiteral(".png")));
        return img;
    }

    // The help text shown when the pointer rests at `at` (none shown before).
    static QString hoverText(QWidget& w, QPoint at) {
        QHelpEvent help(QEvent::ToolTip, at, w.mapToGlobal(at));
        QApplication::sendEvent(&w, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }
};

TEST_F(PanelViews, PillWhileRecording) {
    FakeRecorder rec;
    rec.start();
    rec.setElapsed(75);
    RecordingPillView pill(rec);
    pill.show();
    const QImage img = shoot(pill, QStringLiteral("pill-recording"));
    EXPECT_EQ(img.width() / img.devicePixelRatio(), RecordingPillView::kWidth);
    EXPECT_GT(img.height(), img.width() * 2) << "a narrow vertical capsule";
    EXPECT_EQ(pill.clockLabel(), QStringLiteral("1:15"));
    EXPECT_TRUE(pill.showsStopButton());
    EXPECT_EQ(pill.stopButtonRect().size(), QSize(30, 30));
    EXPECT_EQ(pill.tileRect().size(), QSize(30, 30));
    EXPECT_TRUE(pill.findChild<WaveBars*>()->isVisible());
    rec.setElapsed(3725);
    EXPECT_EQ(pill.clockLabel(), QStringLiteral("62:05"));
    EXPECT_EQ(hoverText(pill, pill.tileRect().center()), QString());
    EXPECT_EQ(hoverText(pill, pill.stopButtonRect().center()), RecordingPillView::kStopHelp);
}

TEST_F(PanelViews, PillWhileProcessing) {
    FakeRecorder rec;
    rec.start();
    RecordingPillView pill(rec);
    const QSize recordingSize = pill.size();
    pill.show();
    rec.toggle();
    const QImage img = shoot(pill, QStringLiteral("pill-processing"));
    EXPECT_EQ(pill.size(), recordingSize) << "the panel keeps the size it was made with";
    EXPECT_EQ(img.size() / img.devicePixelRatio(), recordingSize);
    EXPECT_FALSE(pill.showsStopButton());
    EXPECT_FALSE(pill.findChild<WaveBars*>()->isVisible()) << "no bars while processing";
    EXPECT_TRUE(pill.stopButtonRect().isEmpty());
}

TEST_F(PanelViews, MeetingPrompt) {
    struct Case {
        const char* file;
        QString title;
        QString full;
        bool cut;
    };
    const std::vector<Case> cases = {
        {"prompt", QStringLiteral("定例"), QStringLiteral("「定例」が始まりました"), false},
        {"prompt-empty-title", QString(), QStringLiteral("「」が始まりました"), false},
        {"prompt-long-title",
         QStringLiteral("四半期の事業計画と来期の予算配分についての全社横断レビュー会議"),
         QStringLiteral("「四半期の事業計画と来期の予算配分についての全社横断レビュー会議」"
                        "が始まりました"),
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        int starts = 0, skips = 0;
        MeetingPromptView view(
            c.title, [&] { ++starts; }, [&] { ++skips; });
        view.show();
        const QImage img = shoot(view, QString::fromLatin1(c.file));
        EXPECT_EQ(img.width() / img.devicePixelRatio(), MeetingPromptView::kWidth);
        EXPECT_LT(img.height(), 100);
        EXPECT_EQ(view.fullTitle(), c.full);
        if (c.cut) {
            EXPECT_NE(view.shownTitle(), c.full);
            EXPECT_TRUE(view.shownTitle().endsWith(QChar(0x2026)));
        } else {
            EXPECT_EQ(view.shownTitle(), c.full);
        }
        EXPECT_EQ(view.closeButtonRect().size(), QSize(24, 24));
        EXPECT_LT(view.startButtonRect().right(), view.closeButtonRect().left());
        EXPECT_EQ(hoverText(view, view.closeButtonRect().center()), MeetingPromptView::kSkipHelp);
        EXPECT_EQ(starts + skips, 0);
    }
}

TEST(WaveBars, BarsSwingOutOfStep) {
    struct Case {
        int bar;
        double seconds;
        double scale;
    };
    const std::vector<Case> cases = {
        {0, 0.0, 1.0},  {0, 0.25, 0.675}, {0, 0.5, 0.35}, {0, 1.0, 1.0},
        {3, 0.39, 1.0}, {3, 0.89, 0.35},  {1, 0.13, 1.0}, {1, 0.63, 0.35},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(WaveBars::barScale(c.bar, c.seconds), c.scale, 1e-9)
            << c.bar << " at " << c.seconds;
    EXPECT_LT(WaveBars::barScale(0, 0.1), 1.0) << "the first bar moves at once";
    EXPECT_EQ(WaveBars::barScale(3, 0.3), 1.0) << "the fourth waits 0.39 s";
}

}  // namespace

#pragma once
// The recording pill: a narrow capsule showing that a recording runs (level bars, the clock, a
// stop button) and then that its minutes are being made (a spinner and "作成中"). It follows the
// recorder's phase and clock and never keeps recording state of its own.
#include <QPointer>
#include <QWidget>

class QVariantAnimation;
class RecorderControl;
class WaveBars;

class RecordingPillView : public QWidget {
    Q_OBJECT
public:
    explicit RecordingPillView(RecorderControl& recorder, QWidget* parent = nullptr);

    QSize sizeHint() const override;

    // What is shown now, for the panel's owner and for tests.
    bool showsStopButton() const;
    // The processing spinner turns now.
    bool spinning() const;
    QString clockLabel() const;
    QRect stopButtonRect() const;
    QRect tileRect() const;
    // Where the clock's text stands while recording.
    QRectF clockTextRect() const;
    static QFont clockFont();

    static constexpr int kWidth = 52;
    static inline const QString kStopHelp = QStringLiteral("録音を停止して議事録を作成");
    static inline const QString kProcessingText = QStringLiteral("作成中");

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    bool event(QEvent* e) override;
    void resizeEvent(QResizeEvent*) override;

private:
    void phaseChanged();
    void followMotionSetting();
    void relayout();
    int clockHeight() const;
    int processingTextHeight() const;
    QRect spinnerRect() const;

    RecorderControl& recorder_;
    WaveBars* bars_;
    QVariantAnimation* spin_;
    bool pressOnStop_ = false;
};

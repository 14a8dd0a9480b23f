#pragma once
// The header's record button: a record symbol when idle, a pulsing dot with "停止 m:ss" while
// recording, a spinner (and disabled) while the minutes are being made.
#include "ui/main/BezelButton.h"

#include "ui/main/HeaderModel.h"

class QVariantAnimation;
class RecordingPulse;
class SpinnerRing;

class RecordButton : public BezelButton {
    Q_OBJECT
public:
    explicit RecordButton(HeaderModel& model, QWidget* parent = nullptr);

    const HeaderModel::RecordLook& look() const { return look_; }
    QSize sizeHint() const override;
    // The font of "停止 m:ss".
    static QFont clockFont();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void follow();
    QRect frameRect() const;

    HeaderModel& model_;
    HeaderModel::RecordLook look_;
    RecordingPulse* pulse_;
    SpinnerRing* spinner_;
    QVariantAnimation* resize_;  // the width springing to a new look's
};

#pragma once
// A red dot with a fading halo: a recording runs. Still under reduced motion.
#include "ui/main/LoopingView.h"

class RecordingPulse : public LoopingView {
    Q_OBJECT
public:
    explicit RecordingPulse(qreal size = 14, QWidget* parent = nullptr);

    // The halo's and the dot's scale and the halo's opacity now.
    qreal haloScale() const;
    qreal haloOpacity() const;
    qreal dotScale() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    qreal size_;
};

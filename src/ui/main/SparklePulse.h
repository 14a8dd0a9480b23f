#pragma once
// The "sparkles" symbol breathing in the accent colour: the local agent is at work. Still under
// reduced motion.
#include "ui/main/LoopingView.h"

class SparklePulse : public LoopingView {
    Q_OBJECT
public:
    explicit SparklePulse(qreal size = 11, QWidget* parent = nullptr);

    qreal scale() const;
    qreal opacity() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    qreal size_;
};

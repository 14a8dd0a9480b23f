#pragma once
// A spinning ring with a gradient tail: work in progress. Still under reduced motion.
#include <QColor>
#include "ui/main/LoopingView.h"

class SpinnerRing : public LoopingView {
    Q_OBJECT
public:
    // An invalid `tint` means the accent colour.
    explicit SpinnerRing(qreal size = 20, qreal lineWidth = 2.5, QColor tint = {},
                         QWidget* parent = nullptr);

    bool isSpinning() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    qreal size_;
    qreal lineWidth_;
    QColor tint_;
};

#pragma once
// A grey skeleton line with a band of light sweeping across it: text on its way. A plain bar
// under reduced motion.
#include "ui/main/LoopingView.h"

class ShimmerLine : public LoopingView {
    Q_OBJECT
public:
    explicit ShimmerLine(qreal width, qreal height = 11, QWidget* parent = nullptr);

    // Where the band's left edge is, in line widths: −1 (off to the left) to 1.6.
    qreal phase() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
};

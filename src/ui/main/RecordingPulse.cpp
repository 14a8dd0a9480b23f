#include "ui/main/RecordingPulse.h"

#include <QPainter>

#include <cmath>

#include "desktop/PanelStyle.h"
#include "ui/main/Motion.h"

RecordingPulse::RecordingPulse(qreal size, QWidget* parent)
    : LoopingView(1400, parent), size_(size) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const int side = static_cast<int>(std::ceil(2.4 * size));
    setFixedSize(side, side);
}

qreal RecordingPulse::haloScale() const {
    if (!isAnimating()) return 0.55;
    return 0.55 + 0.45 * motion::easeOut(progress());
}

qreal RecordingPulse::haloOpacity() const {
    if (!isAnimating()) return 0.9;
    return 0.9 * (1 - motion::easeOut(progress()));
}

qreal RecordingPulse::dotScale() const {
    if (!isAnimating()) return 0.92;
    return 0.92 + 0.16 * motion::thereAndBack(progress());
}

void RecordingPulse::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QPointF c(width() / 2.0, height() / 2.0);

    QColor halo = PanelStyle::red();
    halo.setAlphaF(static_cast<float>(0.28 * haloOpacity()));
    p.setBrush(halo);
    const qreal h = 2.4 * size_ * haloScale() / 2;
    p.drawEllipse(c, h, h);

    p.setBrush(PanelStyle::red());
    const qreal d = size_ * dotScale() / 2;
    p.drawEllipse(c, d, d);
}

#include "ui/main/SpinnerRing.h"

#include <QConicalGradient>
#include <QPainter>

#include <cmath>

#include "ui/main/Motion.h"

SpinnerRing::SpinnerRing(qreal size, qreal lineWidth, QColor tint, QWidget* parent)
    : LoopingView(900, parent), size_(size), lineWidth_(lineWidth), tint_(tint) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const int side = static_cast<int>(std::ceil(size));
    setFixedSize(side, side);
}

bool SpinnerRing::isSpinning() const {
    return isAnimating();
}

void SpinnerRing::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor tint = tint_.isValid() ? tint_ : motion::accent(this);
    const QPointF c(width() / 2.0, height() / 2.0);
    p.translate(c);
    p.rotate(360.0 * progress());
    p.translate(-c);

    // Clockwise from the right: faint at the start of the arc, solid at its end. Qt's conical
    // gradient runs counter-clockwise, hence the reversed stops.
    QColor clear = tint, half = tint;
    clear.setAlphaF(0);
    half.setAlphaF(0.5f * tint.alphaF());
    QConicalGradient g(c, 0);
    g.setColorAt(0.0, tint);
    g.setColorAt(0.5, half);
    g.setColorAt(1.0, clear);
    QPen pen(QBrush(g), lineWidth_, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    p.setPen(pen);
    const qreal inset = lineWidth_ / 2;
    const QRectF ring(c.x() - size_ / 2 + inset, c.y() - size_ / 2 + inset, size_ - lineWidth_,
                      size_ - lineWidth_);
    // The trimmed arc 0.05…0.85 of the circle, drawn clockwise (negative angles in Qt).
    p.drawArc(ring, static_cast<int>(-0.05 * 360 * 16), static_cast<int>(-0.80 * 360 * 16));
}

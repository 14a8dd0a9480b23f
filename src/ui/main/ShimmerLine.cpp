#include "ui/main/ShimmerLine.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <cmath>

#include "desktop/PanelStyle.h"
#include "ui/main/Motion.h"

ShimmerLine::ShimmerLine(qreal width, qreal height, QWidget* parent) : LoopingView(1300, parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height)));
}

qreal ShimmerLine::phase() const {
    if (!isAnimating()) return -1;
    return -1 + 2.6 * progress();
}

void ShimmerLine::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    QPainterPath shape;
    shape.addRoundedRect(r, r.height() / 2, r.height() / 2);
    p.setClipPath(shape);
    p.fillPath(shape, PanelStyle::secondary(this, 0.14 / 0.55));

    const qreal bandWidth = 0.55 * r.width();
    const qreal left = phase() * r.width();
    QColor light = palette().color(QPalette::Base);
    QColor clear = light;
    light.setAlphaF(0.85f);
    clear.setAlphaF(0);
    QLinearGradient g(left, 0, left + bandWidth, 0);
    g.setColorAt(0, clear);
    g.setColorAt(0.5, light);
    g.setColorAt(1, clear);
    p.fillRect(QRectF(left, 0, bandWidth, r.height()), g);
}

#include "ui/main/BezelButton.h"

#include <QPainter>
#include <QPainterPath>

void BezelButton::enterEvent(QEnterEvent*) {
    hovered_ = true;
    update();
}

void BezelButton::leaveEvent(QEvent*) {
    hovered_ = false;
    update();
}

void BezelButton::paintBezel(QPainter& p) {
    if (!isEnabled() || !(hovered_ || isDown())) return;
    QColor bezel = palette().color(QPalette::WindowText);
    bezel.setAlphaF(isDown() ? 0.14f : 0.07f);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 6, 6);
    p.fillPath(path, bezel);
}

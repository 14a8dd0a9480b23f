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

void BezelButton::hideEvent(QHideEvent* e) {
    // Hidden under the pointer, as the close button hides its window: no leave follows, and the
    // button would come back lit.
    hovered_ = false;
    QAbstractButton::hideEvent(e);
}

void BezelButton::paintBezel(QPainter& p) {
    if (!isEnabled() || !(hovered_ || isDown())) return;
    QColor bezel = palette().color(QPalette::WindowText);
    bezel.setAlphaF(isDown() ? 0.14f : 0.07f);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 6, 6);
    p.fillPath(path, bezel);
}

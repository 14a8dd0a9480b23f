#include "ui/main/detail/CardFrame.h"

#include <QPainter>

CardFrame::CardFrame(qreal radius, QWidget* parent) : QWidget(parent), radius_(radius) {}

void CardFrame::setColors(QColor fill, QColor border) {
    fill_ = fill;
    border_ = border;
    update();
}

void CardFrame::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // Half a pixel in, so that the one-pixel line lies on whole pixels.
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(border_.alpha() ? QPen(border_, 1) : Qt::NoPen);
    p.setBrush(fill_);
    p.drawRoundedRect(box, radius_, radius_);
}

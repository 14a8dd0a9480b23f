#include "ui/main/ClockLabel.h"

#include <QPainter>

#include <cmath>

#include "desktop/TabularDigits.h"

ClockLabel::ClockLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}

QSize ClockLabel::sizeHint() const {
    const QMargins m = contentsMargins();
    const int w = static_cast<int>(std::ceil(TabularDigits::width(font(), text())));
    return QSize(w + m.left() + m.right() + 2 * margin(), QLabel::sizeHint().height());
}

QSize ClockLabel::minimumSizeHint() const {
    return sizeHint();
}

void ClockLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font());
    p.setPen(palette().color(foregroundRole()));
    TabularDigits::draw(
        p, contentsRect().marginsRemoved(QMargins(margin(), margin(), margin(), margin())),
        static_cast<int>(alignment()), text());
}

#include "ui/main/WindowControlButton.h"

#include <QPainter>

#include <cmath>

WindowControlButton::WindowControlButton(WindowButton role, QWidget* parent)
    : BezelButton(parent), role_(role) {
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(kSize);
    followRole();
}

QSize WindowControlButton::sizeHint() const {
    return kSize;
}

void WindowControlButton::setRestores(bool restores) {
    if (restores_ == restores) return;
    restores_ = restores;
    followRole();
    update();
}

void WindowControlButton::followRole() {
    QString help;
    switch (role_) {
        case WindowButton::minimize:
            help = QStringLiteral("最小化");
            break;
        case WindowButton::maximize:
            help = restores_ ? QStringLiteral("元のサイズに戻す") : QStringLiteral("最大化");
            break;
        case WindowButton::close:
            help = QStringLiteral("閉じる");
            break;
    }
    setToolTip(help);
    setAccessibleName(help);
}

void WindowControlButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintBezel(p);
    QColor ink = palette().color(QPalette::WindowText);
    ink.setAlphaF(0.75f);
    QPen pen(ink, 1.2);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    // A glyph box centred on the button, on half pixels so that thin lines stay sharp.
    const qreal g = kGlyph;
    const QPointF origin(std::round((width() - g) / 2) + 0.5, std::round((height() - g) / 2) + 0.5);
    const QRectF box(origin, QSizeF(g - 1, g - 1));
    switch (role_) {
        case WindowButton::minimize:
            p.drawLine(QPointF(box.left(), box.center().y() + 0.5),
                       QPointF(box.right(), box.center().y() + 0.5));
            break;
        case WindowButton::maximize:
            if (!restores_) {
                p.drawRect(box);
            } else {
                // Two windows, the one behind showing above and to the right of the front one.
                const qreal step = 2;
                const QRectF front(box.left(), box.top() + step, box.width() - step,
                                   box.height() - step);
                const QRectF back = front.translated(step, -step);
                p.drawRect(front);
                p.drawPolyline(QPolygonF{QPointF(back.left(), front.top()), back.topLeft(),
                                         back.topRight(), back.bottomRight(),
                                         QPointF(front.right(), back.bottom())});
            }
            break;
        case WindowButton::close:
            p.drawLine(box.topLeft(), box.bottomRight());
            p.drawLine(box.topRight(), box.bottomLeft());
            break;
    }
}

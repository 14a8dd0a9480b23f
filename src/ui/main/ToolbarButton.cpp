#include "ui/main/ToolbarButton.h"

#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include "desktop/Symbols.h"

ToolbarButton::ToolbarButton(const QString& symbol, const QString& help, QWidget* parent)
    : BezelButton(parent), symbol_(symbol) {
    setToolTip(help);
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::TabFocus);
    setFixedSize(sizeHint());
}

QSize ToolbarButton::sizeHint() const {
    return QSize(kFrame + 6, kFrame + 4);
}

void ToolbarButton::setTint(const QColor& tint) {
    tint_ = tint;
    update();
}

void ToolbarButton::setScale(qreal scale) {
    scale_ = scale;
    update();
}

void ToolbarButton::setRotation(qreal degrees) {
    rotation_ = degrees;
    update();
}

void ToolbarButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintBezel(p);
    QColor tint = tint_.isValid() ? tint_ : palette().color(QPalette::WindowText);
    if (!isEnabled()) tint.setAlphaF(0.3f * tint.alphaF());
    const QPointF c(width() / 2.0, height() / 2.0);
    p.translate(c);
    p.rotate(rotation_);
    p.scale(scale_, scale_);
    Symbols::paint(p, symbol_, QRectF(-kGlyph / 2, -kGlyph / 2, kGlyph, kGlyph), tint);
}

#include "ui/main/detail/DetailStyle.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>

#include "desktop/PanelStyle.h"
#include "desktop/Symbols.h"
#include "desktop/UserText.h"

namespace DetailStyle {

QFont font(qreal pixelSize, QFont::Weight weight) {
    return PanelStyle::font(pixelSize, weight);
}

QColor secondary(const QWidget* w) {
    return PanelStyle::secondary(w);
}

QColor tertiary(const QWidget* w) {
    return PanelStyle::secondary(w, 0.7);
}

QColor quaternary(const QWidget* w) {
    QColor c = w->palette().color(QPalette::WindowText);
    c.setAlphaF(0.12f);
    return c;
}

QColor green() {
    return QColor(0x34, 0xc7, 0x59);
}

QLabel* sectionTitle(const QString& text) {
    QLabel* label = UserText::plainLabel(text);
    label->setFont(font(23, QFont::DemiBold));
    label->setWordWrap(true);
    return label;
}

QLabel* body(const QString& text, int lineSpacing) {
    QLabel* label = UserText::plainLabel(text);
    label->setFont(font(16));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setHorizontalPolicy(label, QSizePolicy::Expanding);
    // A label has no line spacing of its own; the extra leading goes around the text.
    label->setContentsMargins(0, lineSpacing / 2, 0, lineSpacing - lineSpacing / 2);
    return label;
}

QLabel* caption(const QString& text, qreal pixelSize, const QColor& color) {
    QLabel* label = UserText::plainLabel(text);
    label->setFont(font(pixelSize));
    label->setWordWrap(true);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, color);
    label->setPalette(pal);
    return label;
}

void setHorizontalPolicy(QLabel* label, QSizePolicy::Policy policy) {
    QSizePolicy p = label->sizePolicy();
    p.setHorizontalPolicy(policy);
    label->setSizePolicy(p);
}

QPixmap glyph(const QString& name, int side, const QColor& color, qreal dpr) {
    QPixmap pm(QSize(side, side) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = side;
    const auto tick = [&](qreal inset, const QColor& c, qreal width) {
        QPainterPath path;
        path.moveTo(inset, s * 0.52);
        path.lineTo(s * 0.42, s - inset * 1.1);
        path.lineTo(s - inset, inset * 1.1);
        p.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    };
    if (name == QLatin1String("checkmark")) {
        tick(s * 0.12, color, s * 0.16);
    } else if (name == QLatin1String("checkmark.circle.fill")) {
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(QRectF(0.5, 0.5, s - 1, s - 1));
        p.translate(s * 0.2, s * 0.2);
        p.scale(0.6, 0.6);
        tick(s * 0.12, Qt::white, s * 0.16);
    } else if (name == QLatin1String("pencil")) {
        // A pencil lying from the lower left to the upper right.
        p.translate(s / 2, s / 2);
        p.rotate(-45);
        const qreal len = s * 0.9, w = s * 0.22;
        QPainterPath body;
        body.addRect(QRectF(-len / 2 + w, -w / 2, len - w * 1.4, w));
        QPainterPath tip;
        tip.moveTo(-len / 2 + w, -w / 2);
        tip.lineTo(-len / 2, 0);
        tip.lineTo(-len / 2 + w, w / 2);
        tip.closeSubpath();
        p.setPen(QPen(color, s * 0.08, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(body);
        p.setBrush(color);
        p.drawPath(tip);
        p.drawRect(QRectF(len / 2 - w * 0.4, -w / 2, w * 0.4, w));
    } else {
        Symbols::paint(p, name, QRectF(0, 0, s, s), color);
    }
    return pm;
}

}  // namespace DetailStyle

#include "ui/main/sidebar/SidebarButton.h"

#include <QEvent>

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "desktop/PanelStyle.h"
#include "ui/main/Motion.h"
#include "ui/main/sidebar/SidebarSymbols.h"

namespace {
constexpr int kPadX = 3;
constexpr int kGap = 3;
constexpr int kChevron = 7;
}  // namespace

SidebarButton::SidebarButton(const QString& symbol, const QString& text, Style style,
                             qreal fontSize, QWidget* parent)
    : BezelButton(parent), symbol_(symbol), style_(style) {
    setText(text);
    setFont(PanelStyle::font(fontSize));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
}

void SidebarButton::setText(const QString& text) {
    QAbstractButton::setText(text);
    setShortcut(QKeySequence());
}

void SidebarButton::setSymbol(const QString& symbol) {
    if (symbol == symbol_) return;
    symbol_ = symbol;
    updateGeometry();
    update();
}

void SidebarButton::setMenuIndicator(bool on) {
    menu_ = on;
    updateGeometry();
}

void SidebarButton::setFontWeight(QFont::Weight weight) {
    QFont f = font();
    f.setWeight(weight);
    setFont(f);
}

void SidebarButton::setTint(const QColor& tint) {
    tint_ = tint;
    update();
}

void SidebarButton::setOn(bool on) {
    if (on == on_) return;
    on_ = on;
    update();
}

QSize SidebarButton::sizeHint() const {
    const QFontMetrics fm(font());
    int w = 2 * kPadX + fm.horizontalAdvance(text());
    const int glyph = fm.height() - 4;
    if (!symbol_.isEmpty()) w += glyph + (text().isEmpty() ? 0 : kGap);
    if (menu_) w += kGap + kChevron;
    return {w + 1, fm.height() + 6};  // a little slack: advances are fractional
}

void SidebarButton::setShrinkable(bool on) {
    shrinkable_ = on;
    setSizePolicy(on ? QSizePolicy::Preferred : QSizePolicy::Maximum, QSizePolicy::Fixed);
    updateGeometry();
}

QSize SidebarButton::minimumSizeHint() const {
    const QSize full = sizeHint();
    if (!shrinkable_) return full;
    return {std::min(full.width(), 56), full.height()};
}

void SidebarButton::changeEvent(QEvent* e) {
    if (e->type() == QEvent::FontChange) updateGeometry();
    BezelButton::changeEvent(e);
}

void SidebarButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (on_) {
        QColor wash = motion::accent(this);
        wash.setAlphaF(0.12f);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), 6, 6);
        p.fillPath(path, wash);
    }
    if (style_ != Style::link) paintBezel(p);
    QColor color = tint_.isValid()          ? tint_
                   : style_ == Style::plain ? palette().color(QPalette::WindowText)
                                            : motion::accent(this);
    if (!isEnabled()) color = PanelStyle::secondary(this, 0.5);
    const QFontMetrics fm(font());
    const qreal glyph = fm.height() - 4;
    qreal x = kPadX;
    if (!symbol_.isEmpty()) {
        SidebarSymbols::paint(p, symbol_, QRectF(x, (height() - glyph) / 2.0, glyph, glyph), color);
        x += glyph + (text().isEmpty() ? 0 : kGap);
    }
    p.setPen(color);
    p.setFont(font());
    const qreal textW = width() - x - kPadX - (menu_ ? kGap + kChevron : 0);
    p.drawText(QRectF(x, 0, textW, height()), Qt::AlignLeft | Qt::AlignVCenter,
               fm.elidedText(text(), Qt::ElideRight, static_cast<int>(textW)));
    if (menu_) {
        const qreal cx = width() - kPadX - kChevron / 2.0;
        const qreal cy = height() / 2.0;
        QPen pen(color, 1.4);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        p.setPen(pen);
        p.drawPolyline(
            QPolygonF{QPointF(cx - 3, cy - 1.5), QPointF(cx, cy + 1.5), QPointF(cx + 3, cy - 1.5)});
    }
}

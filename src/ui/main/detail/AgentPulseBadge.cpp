#include "ui/main/detail/AgentPulseBadge.h"

#include <QPainter>

#include "desktop/Symbols.h"
#include "ui/main/Motion.h"

namespace {
constexpr qreal kDisc = 40;
constexpr qreal kMaxDiscScale = 1.25;
// A symbol's box is a little larger than its font size, as a glyph's would be.
constexpr qreal kSparkle = 17 * 1.2;
}  // namespace

// One turn is the 0.9 s swell and the 0.9 s return.
AgentPulseBadge::AgentPulseBadge(QWidget* parent) : LoopingView(1800, parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const int side = static_cast<int>(kDisc * kMaxDiscScale) + 2;
    setFixedSize(side, side);
}

void AgentPulseBadge::paintEvent(QPaintEvent*) {
    const qreal t = isAnimating() ? motion::thereAndBack(progress()) : 0;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(width() / 2.0, height() / 2.0);
    QColor disc = motion::accent(this);
    disc.setAlphaF(0.18);
    const qreal d = kDisc * (0.9 + (kMaxDiscScale - 0.9) * t);
    p.setOpacity(0.8 - 0.5 * t);
    p.setPen(Qt::NoPen);
    p.setBrush(disc);
    p.drawEllipse(c, d / 2, d / 2);
    p.setOpacity(1);
    const qreal s = kSparkle * (0.95 + (1.12 - 0.95) * t);
    Symbols::paint(p, QStringLiteral("sparkles"), QRectF(c.x() - s / 2, c.y() - s / 2, s, s),
                   motion::accent(this));
}

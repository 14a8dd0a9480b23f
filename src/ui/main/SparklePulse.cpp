#include "ui/main/SparklePulse.h"

#include <QPainter>

#include <cmath>

#include "desktop/Symbols.h"
#include "ui/main/Motion.h"

namespace {
// A symbol's box is a little larger than its font size, as a glyph's would be.
constexpr qreal kBox = 1.2;
constexpr qreal kMaxScale = 1.18;
}  // namespace

SparklePulse::SparklePulse(qreal size, QWidget* parent) : LoopingView(1700, parent), size_(size) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const int side = static_cast<int>(std::ceil(size * kBox * kMaxScale));
    setFixedSize(side, side);
}

qreal SparklePulse::scale() const {
    if (!isAnimating()) return 0.9;
    return 0.9 + 0.28 * motion::thereAndBack(progress());
}

qreal SparklePulse::opacity() const {
    if (!isAnimating()) return 0.55;
    return 0.55 + 0.45 * motion::thereAndBack(progress());
}

void SparklePulse::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(opacity());
    const qreal side = size_ * kBox * scale();
    const QPointF c(width() / 2.0, height() / 2.0);
    Symbols::paint(p, QStringLiteral("sparkles"),
                   QRectF(c.x() - side / 2, c.y() - side / 2, side, side), motion::accent(this));
}

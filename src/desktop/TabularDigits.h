#pragma once
// Text whose digits all take the same width, so that a running clock ("停止 1:05") keeps its
// width from one second to the next. Where the font's own digits already share one advance the
// text is drawn as it stands; otherwise each digit is centred in a cell as wide as the font's
// widest digit.
#include <QFont>
#include <QRectF>
#include <QString>

class QPainter;

namespace TabularDigits {

// Whether every digit 0–9 has the same advance in `font`.
bool native(const QFont& font);
// The advance of `text` laid out so.
qreal width(const QFont& font, const QString& text);
// Draws `text` with the painter's font and pen inside `rect`: horizontally to the left, the
// centre or the right, vertically to the top, the centre or the bottom, as `alignment` says.
void draw(QPainter& p, const QRectF& rect, int alignment, const QString& text);

}  // namespace TabularDigits

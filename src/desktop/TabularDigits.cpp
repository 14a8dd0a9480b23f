#include "desktop/TabularDigits.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace {

struct Digits {
    qreal advance[10];
    qreal widest = 0;
    bool native = true;
};

Digits digitsOf(const QFontMetricsF& metrics) {
    Digits d;
    for (int i = 0; i < 10; ++i) {
        d.advance[i] = metrics.horizontalAdvance(QChar(u'0' + i));
        d.widest = std::max(d.widest, d.advance[i]);
        if (d.advance[i] != d.advance[0]) d.native = false;
    }
    return d;
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Calls place(x, piece) for each run of other characters and each digit, left to right, and
// returns the whole advance.
template <typename Place>
qreal layOut(const QFontMetricsF& metrics, const Digits& digits, const QString& text, Place place) {
    qreal x = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        if (isDigit(text[i])) {
            const qreal own = digits.advance[text[i].unicode() - u'0'];
            place(x + (digits.widest - own) / 2, text.mid(i, 1));
            x += digits.widest;
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && !isDigit(text[end])) ++end;
        const QString run = text.mid(i, end - i);
        place(x, run);
        x += metrics.horizontalAdvance(run);
        i = end;
    }
    return x;
}

}  // namespace

namespace TabularDigits {

bool native(const QFont& font) {
    return digitsOf(QFontMetricsF(font)).native;
}

qreal width(const QFont& font, const QString& text) {
    const QFontMetricsF metrics(font);
    const Digits digits = digitsOf(metrics);
    if (digits.native) return metrics.horizontalAdvance(text);
    return layOut(metrics, digits, text, [](qreal, const QString&) {});
}

void draw(QPainter& p, const QRectF& rect, int alignment, const QString& text) {
    const QFontMetricsF metrics(p.font(), p.device());
    const Digits digits = digitsOf(metrics);
    if (digits.native) {
        p.drawText(rect, alignment, text);
        return;
    }
    const qreal w = layOut(metrics, digits, text, [](qreal, const QString&) {});
    qreal left = rect.left();
    if (alignment & Qt::AlignHCenter)
        left += (rect.width() - w) / 2;
    else if (alignment & Qt::AlignRight)
        left += rect.width() - w;
    qreal top = rect.top();
    if (alignment & Qt::AlignVCenter)
        top += (rect.height() - metrics.height()) / 2;
    else if (alignment & Qt::AlignBottom)
        top += rect.height() - metrics.height();
    const qreal baseline = top + metrics.ascent();
    layOut(metrics, digits, text,
           [&](qreal x, const QString& piece) { p.drawText(QPointF(left + x, baseline), piece); });
}

}  // namespace TabularDigits

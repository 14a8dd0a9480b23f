#include "ui/main/dialogs/DialogSymbols.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

#include "desktop/Symbols.h"

namespace {

// 24 × 24 outlines in black; the tint is applied when drawn.
const QHash<QString, QByteArray>& outlines() {
    static const QHash<QString, QByteArray> svgs = {
        {QStringLiteral("folder"),
         R"(<path d="M3 6.5a1.5 1.5 0 0 1 1.5-1.5h4.6l2 2.2h8.4a1.5 1.5 0 0 1 1.5 1.5v9.8a1.5 1.5 0 0 1-1.5 1.5h-15A1.5 1.5 0 0 1 3 18.5z"/>)"},
        {QStringLiteral("tag"),
         R"(<path d="M3.5 4.5v6.3l9.2 9.2a1.4 1.4 0 0 0 2 0l5.3-5.3a1.4 1.4 0 0 0 0-2L10.8 3.5H4.5a1 1 0 0 0-1 1z"/><circle cx="7.6" cy="7.6" r="1.4"/>)"},
        {QStringLiteral("trash"),
         R"(<path d="M4 6.5h16M9.5 6.5V4.5h5v2M6.2 6.5l1 13a1.5 1.5 0 0 0 1.5 1.4h6.6a1.5 1.5 0 0 0 1.5-1.4l1-13M10 10.5v6.5M14 10.5v6.5"/>)"},
        {QStringLiteral("circle"), R"(<circle cx="12" cy="12" r="9"/>)"},
        {QStringLiteral("minus.circle"), R"(<circle cx="12" cy="12" r="9"/><path d="M8 12h8"/>)"},
        {QStringLiteral("checkmark"), R"(<path d="M7.5 12.3l3 3 6-6.3" stroke-width="2.4"/>)"},
    };
    return svgs;
}

QImage render(const QByteArray& body, QSize px, const QColor& color) {
    const QByteArray svg =
        R"(<svg xmlns="http://www.w3.org/2000/svg" width="24" height="24" viewBox="0 0 24 24">)"
        R"(<g fill="none" stroke="#000" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round">)" +
        body + "</g></svg>";
    QImage img(px, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QSvgRenderer renderer(svg);
    QPainter p(&img);
    renderer.render(&p, QRectF(QPointF(0, 0), QSizeF(px)));
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(img.rect(), color);
    return img;
}

void drawInner(QPainter& p, const QString& inner, const QRectF& rect, const QColor& color) {
    if (outlines().contains(inner)) {
        const QImage img = render(outlines().value(inner), rect.size().toSize(), color);
        p.drawImage(rect.topLeft(), img);
    } else {
        Symbols::paint(p, inner, rect, color);
    }
}

}  // namespace

namespace DialogSymbols {

QPixmap pixmap(const QString& name, int side, const QColor& color, qreal dpr) {
    const int px = static_cast<int>(std::ceil(side * dpr));
    QImage img(px, px, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF all(0, 0, px, px);
        const QString filled = QStringLiteral(".circle.fill");
        if (name.endsWith(filled)) {
            p.setPen(Qt::NoPen);
            p.setBrush(color);
            p.drawEllipse(all.adjusted(px * 0.04, px * 0.04, -px * 0.04, -px * 0.04));
            const qreal inset = name == QStringLiteral("checkmark.circle.fill") ? 0.12 : 0.24;
            drawInner(p, name.chopped(filled.size()),
                      all.adjusted(px * inset, px * inset, -px * inset, -px * inset), Qt::white);
        } else {
            drawInner(p, name, all, color);
        }
    }
    QPixmap out = QPixmap::fromImage(img);
    out.setDevicePixelRatio(dpr);
    return out;
}

QIcon icon(const QString& name, int side, const QColor& color) {
    QIcon result;
    for (qreal dpr : {1.0, 2.0}) result.addPixmap(pixmap(name, side, color, dpr));
    return result;
}

}  // namespace DialogSymbols

#include "desktop/Symbols.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <cmath>

// Resources of a static library must be registered by hand; outside any namespace.
static void initSymbolResources() {
    Q_INIT_RESOURCE(icons);
}

namespace {

QString pathOf(const QString& name) {
    static const bool once = (initSymbolResources(), true);
    (void)once;
    return QStringLiteral(":/icons/") + name + QStringLiteral(".svg");
}

QImage tinted(const QString& name, QSize size, const QColor& color) {
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QSvgRenderer svg(pathOf(name));
    if (!svg.isValid()) return {};
    QPainter p(&img);
    svg.render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(img.rect(), color);
    return img;
}

}  // namespace

namespace Symbols {

bool has(const QString& name) {
    return QFile::exists(pathOf(name));
}

void paint(QPainter& painter, const QString& name, const QRectF& rect, const QColor& color) {
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize px(static_cast<int>(std::ceil(rect.width() * dpr)),
                   static_cast<int>(std::ceil(rect.height() * dpr)));
    if (px.isEmpty()) return;
    QImage img = tinted(name, px, color);
    if (img.isNull()) return;
    img.setDevicePixelRatio(dpr);
    painter.drawImage(rect.topLeft(), img);
}

QIcon icon(const QString& name, const QColor& color) {
    QIcon result;
    for (int side : {16, 22, 24, 32, 48, 64}) {
        QImage img = tinted(name, QSize(side, side), color);
        if (!img.isNull()) result.addPixmap(QPixmap::fromImage(img));
    }
    return result;
}

}  // namespace Symbols

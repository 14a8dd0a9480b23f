#include "app/AppIcon.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// Resources of a static library must be registered by hand; outside any namespace.
static void initAppIconResource() {
    Q_INIT_RESOURCE(appicon);
}

namespace AppIcon {

QIcon icon() {
    initAppIconResource();
    // Drawn here rather than by an icon-engine plugin, which a system may lack.
    QSvgRenderer svg(QStringLiteral(":/app/tavro.svg"));
    QIcon out;
    if (!svg.isValid()) return out;
    for (const int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        svg.render(&painter);
        painter.end();
        out.addPixmap(QPixmap::fromImage(image));
    }
    return out;
}

}  // namespace AppIcon

#include "ui/settings/BrandIcon.h"

#include <QFile>
#include <QPainter>
#include <QPalette>
#include <QSvgRenderer>

#include "desktop/Symbols.h"

// Resources of a static library must be registered by hand; outside any namespace.
static void initBrandResources() {
    Q_INIT_RESOURCE(brands);
}

BrandIcon::BrandIcon(const QString& name, QWidget* parent) : QWidget(parent), name_(name) {
    setFixedSize(kSide, kSide);
}

QString BrandIcon::resourcePath(const QString& name) {
    static const bool once = (initBrandResources(), true);
    (void)once;
    return QStringLiteral(":/brands/") + name + QStringLiteral(".svg");
}

bool BrandIcon::loadable(const QString& path) {
    if (!QFile::exists(path)) return false;
    QSvgRenderer svg(path);
    return svg.isValid() && !svg.defaultSize().isEmpty();
}

bool BrandIcon::showsLogo() const {
    // Looked up at each use, like the drawing itself.
    return loadable(resourcePath(name_));
}

void BrandIcon::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0, 0, kSide, kSide);
    const QString path = resourcePath(name_);
    if (loadable(path)) {
        QSvgRenderer svg(path);
        svg.setAspectRatioMode(Qt::KeepAspectRatio);
        svg.render(&p, box);
        return;
    }
    Symbols::paint(p, QStringLiteral("link"), box, palette().color(QPalette::WindowText));
}

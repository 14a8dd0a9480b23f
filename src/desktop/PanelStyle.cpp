#include "desktop/PanelStyle.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QScreen>
#include <QWidget>

#include <cstdlib>
#include <cstring>

#include "desktop/FloatingPanel.h"
#include "desktop/Symbols.h"
#include "platform/DesktopMotionSetting.h"

namespace PanelStyle {

QFont font(qreal pixelSize, QFont::Weight weight) {
    QFont f(QStringLiteral("Noto Sans CJK JP"));
    // Sizes are in device-independent pixels; a point size keeps their fractions.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    f.setPointSizeF(pixelSize * 72.0 / dpi);
    f.setWeight(weight);
    return f;
}

QColor red() {
    return QColor(255, 59, 48);
}

QColor windowBackground(const QWidget* w) {
    return w->palette().color(QPalette::Window);
}

QColor secondary(const QWidget* w, qreal opacity) {
    QColor c = w->palette().color(QPalette::WindowText);
    c.setAlphaF(static_cast<float>(0.55 * opacity));
    return c;
}

void paintBackground(QPainter& p, const QWidget* w, qreal cornerRadius) {
    const QColor fill = windowBackground(w);
    const QColor text = w->palette().color(QPalette::WindowText);
    // Opaque, about a third of the way from the background to the text: darker than a light
    // panel, lighter than a dark one.
    auto mix = [](float from, float to) { return from + (to - from) * 0.35f; };
    const QColor edge =
        QColor::fromRgbF(mix(fill.redF(), text.redF()), mix(fill.greenF(), text.greenF()),
                         mix(fill.blueF(), text.blueF()));
    p.save();
    p.setRenderHint(QPainter::Antialiasing,
                    w->window()->testAttribute(Qt::WA_TranslucentBackground));
    const QRectF r(w->rect());
    QPainterPath outer;
    outer.addRoundedRect(r, cornerRadius, cornerRadius);
    const auto* panel = qobject_cast<const FloatingPanel*>(w->window());
    if (panel && panel->hasShadow()) {
        p.fillPath(outer, fill);
    } else {
        QPainterPath inner;
        inner.addRoundedRect(r.adjusted(1, 1, -1, -1), cornerRadius - 1, cornerRadius - 1);
        p.fillPath(outer, edge);
        p.fillPath(inner, fill);
    }
    p.restore();
}

void paintIconTile(QPainter& p, const QRectF& tile, qreal cornerRadius, qreal symbolSize) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(tile, cornerRadius, cornerRadius);
    p.fillPath(path, Qt::black);
    // The symbol's box is a little larger than its font size, as a glyph's would be.
    const qreal side = symbolSize * 1.2;
    const QRectF box(tile.center().x() - side / 2, tile.center().y() - side / 2, side, side);
    Symbols::paint(p, QStringLiteral("waveform"), box, Qt::white);
    p.restore();
}

bool reduceMotion() {
    const char* v = std::getenv("TAVRO_REDUCE_MOTION");
    if (v && *v) return std::strcmp(v, "0") != 0;
    return DesktopMotionSetting::shared().reduceMotion();
}

void onReduceMotionChanged(QObject* receiver, std::function<void()> follow) {
    QObject::connect(&DesktopMotionSetting::shared(), &DesktopMotionSetting::changed, receiver,
                     std::move(follow));
}

}  // namespace PanelStyle

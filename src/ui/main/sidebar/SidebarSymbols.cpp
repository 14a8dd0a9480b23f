#include "ui/main/sidebar/SidebarSymbols.h"

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <cmath>

#include "desktop/Symbols.h"

namespace {

constexpr const char* kHead =
    R"(<svg xmlns="http://www.w3.org/2000/svg" width="24" height="24" viewBox="0 0 24 24">)";
constexpr const char* kStroke =
    R"(<g fill="none" stroke="#000" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round">)";

// Bodies of 24 × 24 single-colour drawings.
const QHash<QString, QByteArray>& bodies() {
    static const QHash<QString, QByteArray> table = [] {
        const QByteArray s(kStroke);
        QHash<QString, QByteArray> t;
        const QByteArray star =
            "M12 3l2.7 5.6l6.1.8l-4.5 4.2l1.1 6.1L12 16.8l-5.4 2.9l1.1-6.1"
            "l-4.5-4.2l6.1-.8z";
        t["star"] = s + "<path d=\"" + star + "\"/></g>";
        t["star.fill"] =
            "<path fill=\"#000\" stroke=\"#000\" stroke-width=\"1.4\" "
            "stroke-linejoin=\"round\" d=\"" +
            star + "\"/>";
        t["archivebox"] = s +
                          "<rect x=\"3\" y=\"4\" width=\"18\" height=\"5\" rx=\"1\"/>"
                          "<path d=\"M5 9v10a1 1 0 0 0 1 1h12a1 1 0 0 0 1-1V9M10 13h4\"/></g>";
        t["line.3.horizontal.decrease.circle"] =
            s + "<circle cx=\"12\" cy=\"12\" r=\"9.2\"/><path d=\"M7 9h10M9 12.5h6M11 16h2\"/></g>";
        t["folder"] = s +
                      "<path d=\"M3 6.5a1.5 1.5 0 0 1 1.5-1.5h4.6l2 2.2h8.4a1.5 1.5 0 0 1 "
                      "1.5 1.5v9.3a1.5 1.5 0 0 1-1.5 1.5h-15A1.5 1.5 0 0 1 3 18z\"/></g>";
        t["tag"] = s +
                   "<path d=\"M3.5 4.8v6l9 9l7.2-7.2l-9-9h-6a1.2 1.2 0 0 0-1.2 1.2z\"/>"
                   "<circle cx=\"8\" cy=\"8.5\" r=\"1.3\"/></g>";
        t["checkmark.circle.fill"] =
            "<path fill=\"#000\" fill-rule=\"evenodd\" d=\"M12 2.5a9.5 9.5 0 1 1 0 19a9.5 9.5 0 0 "
            "1 "
            "0-19zM7.4 12.3l3.1 3.1l6.2-6.4l-1.2-1.2l-5 5.1l-1.9-1.8z\"/>";
        t["circle"] = s + "<circle cx=\"12\" cy=\"12\" r=\"9.2\"/></g>";
        t["checklist"] = s +
                         "<path d=\"M3.5 6.5l1.6 1.6l2.9-3M3.5 14l1.6 1.6l2.9-3M11 7h9.5"
                         "M11 14.5h9.5M11 19.5h6\"/></g>";
        t["trash"] = s +
                     "<path d=\"M4 6.5h16M9.5 6.5V4.5h5v2M6 6.5l1 13a1 1 0 0 0 1 1h8a1 1 0 0 0 "
                     "1-1l1-13M10 10.5v6M14 10.5v6\"/></g>";
        t["slider.horizontal.3"] =
            s +
            "<path d=\"M3.5 6h17M3.5 12h17M3.5 18h17\"/></g>"
            "<g fill=\"#fff\" stroke=\"#000\" stroke-width=\"1.8\"><circle cx=\"8\" cy=\"6\" "
            "r=\"2.2\"/><circle cx=\"16\" cy=\"12\" r=\"2.2\"/><circle cx=\"10\" cy=\"18\" "
            "r=\"2.2\"/></g>";
        t["slash.circle"] = s +
                            "<circle cx=\"12\" cy=\"12\" r=\"9.2\"/><path d=\"M5.6 18.4L18.4 "
                            "5.6\"/></g>";
        t["xmark.circle.fill"] =
            "<path fill=\"#000\" fill-rule=\"evenodd\" d=\"M12 2.5a9.5 9.5 0 1 1 0 19a9.5 9.5 0 0 "
            "1 "
            "0-19zM8.6 7.4L7.4 8.6L10.8 12l-3.4 3.4l1.2 1.2l3.4-3.4l3.4 3.4l1.2-1.2L13.2 12l3.4-3.4"
            "l-1.2-1.2L12 10.8z\"/>";
        t["exclamationmark.triangle"] =
            s +
            "<path d=\"M12 3.5l9.5 16.5h-19zM12 10v4.5\"/><circle cx=\"12\" cy=\"17.3\" "
            "r=\".4\"/></g>";
        return t;
    }();
    return table;
}

QImage tinted(const QByteArray& body, QSize size, const QColor& color) {
    QImage img(size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QSvgRenderer svg(QByteArray(kHead) + body + "</svg>");
    if (!svg.isValid()) return {};
    {
        QPainter p(&img);
        svg.render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    // Black strokes take the colour; white insides (the sliders' knobs) stay white.
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb px = line[x];
            const int a = qAlpha(px);
            if (!a) continue;
            const qreal white = qGray(px) / 255.0;
            auto mix = [&](int c) { return static_cast<int>(c + (255 - c) * white + 0.5); };
            line[x] = qRgba(mix(color.red()), mix(color.green()), mix(color.blue()),
                            static_cast<int>(a * color.alphaF() + 0.5));
        }
    }
    return img;
}

}  // namespace

namespace SidebarSymbols {

void paint(QPainter& painter, const QString& name, const QRectF& rect, const QColor& color) {
    const auto it = bodies().find(name);
    if (it == bodies().end()) return Symbols::paint(painter, name, rect, color);
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize px(static_cast<int>(std::ceil(rect.width() * dpr)),
                   static_cast<int>(std::ceil(rect.height() * dpr)));
    if (px.isEmpty()) return;
    QImage img = tinted(*it, px, color);
    if (img.isNull()) return;
    img.setDevicePixelRatio(dpr);
    painter.drawImage(rect.topLeft(), img);
}

QIcon icon(const QString& name, const QColor& color) {
    const auto it = bodies().find(name);
    if (it == bodies().end()) return Symbols::icon(name, color);
    QIcon result;
    for (int side : {16, 22, 24, 32, 48})
        result.addPixmap(QPixmap::fromImage(tinted(*it, QSize(side, side), color)));
    return result;
}

}  // namespace SidebarSymbols

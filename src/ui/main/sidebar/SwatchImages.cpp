#include "ui/main/sidebar/SwatchImages.h"

#include <QPainter>
#include <QPixmap>

#include "ui/main/sidebar/RecordColorChoice.h"

namespace {
constexpr int kSide = 12;
constexpr qreal kScale = 2;  // drawn for high-density screens, shown at 12 points
}  // namespace

QColor colorOf(const RecordColorChoice& choice) {
    return QColor::fromRgbF(static_cast<float>(choice.rgb[0]), static_cast<float>(choice.rgb[1]),
                            static_cast<float>(choice.rgb[2]), 1.0f);
}

const std::map<std::string, QImage>& swatchImages() {
    static const std::map<std::string, QImage> images = [] {
        std::map<std::string, QImage> out;
        for (const RecordColorChoice& c : RecordColorChoice::palette()) {
            QImage img(QSize(kSide, kSide) * kScale, QImage::Format_ARGB32_Premultiplied);
            img.fill(Qt::transparent);
            QPainter p(&img);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(colorOf(c));
            p.drawEllipse(QRectF(0, 0, img.width(), img.height()));
            p.end();
            img.setDevicePixelRatio(kScale);
            out.emplace(c.id, std::move(img));
        }
        return out;
    }();
    return images;
}

QIcon swatchIcon(const std::string& id) {
    const auto& images = swatchImages();
    if (auto it = images.find(id); it != images.end()) return QIcon(QPixmap::fromImage(it->second));
    QPixmap empty(kSide, kSide);
    empty.fill(Qt::transparent);
    return QIcon(empty);
}

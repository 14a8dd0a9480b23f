#include "desktop/PanelShadow.h"

#include <algorithm>
#include <vector>

namespace PanelShadow {

namespace {

// Three box blurs in a row come close to a Gaussian; together they spread kBlur pixels.
constexpr int kBoxRadius = kBlur / 3;
constexpr int kPasses = 3;

// One box blur along a line of `count` values, `stride` apart, starting at `first`.
void boxBlur(std::vector<float>& values, std::size_t first, std::size_t count, std::size_t stride,
             std::vector<float>& line) {
    line.assign(count, 0.0f);
    for (std::size_t i = 0; i < count; ++i) line[i] = values[first + i * stride];
    const float window = 2.0f * kBoxRadius + 1.0f;
    float sum = 0.0f;
    // The values beyond both ends are transparent.
    for (int i = 0; i <= kBoxRadius && i < static_cast<int>(count); ++i) sum += line[i];
    for (std::size_t i = 0; i < count; ++i) {
        values[first + i * stride] = sum / window;
        const std::size_t enter = i + kBoxRadius + 1;
        if (enter < count) sum += line[enter];
        if (i >= static_cast<std::size_t>(kBoxRadius)) sum -= line[i - kBoxRadius];
    }
}

}  // namespace

QImage of(const QImage& shape) {
    const QImage alpha = shape.convertToFormat(QImage::Format_ARGB32);
    const int w = alpha.width() + 2 * kMargin;
    const int h = alpha.height() + 2 * kMargin;
    std::vector<float> values(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0.0f);
    for (int y = 0; y < alpha.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(alpha.constScanLine(y));
        const std::size_t to = static_cast<std::size_t>(y + kMargin + kOffsetY) * w + kMargin;
        for (int x = 0; x < alpha.width(); ++x) values[to + x] = qAlpha(row[x]) / 255.0f;
    }
    std::vector<float> line;
    for (int pass = 0; pass < kPasses; ++pass) {
        for (int y = 0; y < h; ++y) boxBlur(values, static_cast<std::size_t>(y) * w, w, 1, line);
        for (int x = 0; x < w; ++x) boxBlur(values, x, h, w, line);
    }
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const float a = values[static_cast<std::size_t>(y) * w + x] * kOpacity;
            row[x] = qRgba(0, 0, 0, std::clamp(qRound(a * 255.0f), 0, 255));
        }
    }
    return out;
}

}  // namespace PanelShadow

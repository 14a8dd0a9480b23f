#include "ui/main/sidebar/RowMotion.h"

#include <QEasingCurve>
#include <QWidget>

#include <algorithm>

#include "desktop/PanelStyle.h"

RowMotion::RowMotion(QWidget* surface) : QObject(surface), surface_(surface) {
    clock_.start();
    tick_.setInterval(16);
    connect(&tick_, &QTimer::timeout, this, &RowMotion::step);
}

qreal RowMotion::progress(const Move& m, int ms) const {
    return std::clamp(static_cast<qreal>(now() - m.start) / ms, 0.0, 1.0);
}

void RowMotion::start() {
    if (!tick_.isActive()) tick_.start();
    surface_->update();
}

// Finished moves are dropped; the clock stops when none is left.
void RowMotion::step() {
    std::erase_if(hover_, [&](const auto& kv) {
        return progress(kv.second, kHoverMs) >= 1 && kv.second.to == 0;
    });
    std::erase_if(check_, [&](const auto& kv) { return progress(kv.second, kCheckMs) >= 1; });
    std::erase_if(color_, [&](const auto& kv) { return progress(kv.second, kColorMs) >= 1; });
    const bool hoverMoving = std::any_of(hover_.begin(), hover_.end(), [&](const auto& kv) {
        return progress(kv.second, kHoverMs) < 1;
    });
    if (!hoverMoving && check_.empty() && color_.empty()) tick_.stop();
    surface_->update();
}

void RowMotion::setHovered(const std::string& id) {
    if (id == hovered_) return;
    auto retarget = [&](const std::string& row, qreal to) {
        if (row.empty()) return;
        const qreal at = hover(row);
        hover_[row] = Move{at, to, {}, now()};
    };
    if (PanelStyle::reduceMotion()) {
        hover_.clear();
        hovered_ = id;
        if (!id.empty()) hover_[id] = Move{1, 1, {}, now() - kHoverMs};
        surface_->update();
        return;
    }
    retarget(hovered_, 0);
    hovered_ = id;
    retarget(hovered_, 1);
    start();
}

qreal RowMotion::hover(const std::string& id) const {
    auto it = hover_.find(id);
    if (it == hover_.end()) return 0;
    const Move& m = it->second;
    const qreal t = QEasingCurve(QEasingCurve::OutQuad).valueForProgress(progress(m, kHoverMs));
    return m.from + (m.to - m.from) * t;
}

void RowMotion::checkChanged(const std::string& id, bool checked) {
    if (PanelStyle::reduceMotion()) return;
    const qreal at = checkScale(id, !checked);
    check_[id] = Move{at, checked ? 1.12 : 1.0, {}, now()};
    start();
}

qreal RowMotion::checkScale(const std::string& id, bool checked) const {
    auto it = check_.find(id);
    if (it == check_.end()) return checked ? 1.12 : 1.0;
    const Move& m = it->second;
    // A lightly damped spring: a little past the mark, then back.
    QEasingCurve spring(QEasingCurve::OutBack);
    spring.setOvershoot(2.2);
    return m.from + (m.to - m.from) * spring.valueForProgress(progress(m, kCheckMs));
}

void RowMotion::painted(const std::string& id, const QColor& color) {
    auto [it, added] = seen_.try_emplace(id, color);
    if (added || it->second == color) return;
    const QColor from = it->second;
    it->second = color;
    if (PanelStyle::reduceMotion()) return;
    color_[id] = Move{0, 1, from, now()};
    start();
    // Only rows that were on screen are remembered; a long scroll need not keep them all.
    if (seen_.size() > 512) seen_.clear();
}

qreal RowMotion::colorProgress(const std::string& id, QColor* from) const {
    auto it = color_.find(id);
    if (it == color_.end()) return 1;
    if (from) *from = it->second.color;
    return QEasingCurve(QEasingCurve::InOutQuad).valueForProgress(progress(it->second, kColorMs));
}

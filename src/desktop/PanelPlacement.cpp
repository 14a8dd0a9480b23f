#include "desktop/PanelPlacement.h"

#include "desktop/WindowPlacement.h"

namespace {

std::optional<ScreenArea> screenUnder(QPoint pointer, const std::vector<ScreenArea>& screens,
                                      std::optional<ScreenArea> primary) {
    for (const ScreenArea& s : screens)
        if (s.frame.contains(pointer)) return s;
    return primary;
}

}  // namespace

std::optional<QPoint> rightEdgeOrigin(QPoint pointer, const std::vector<ScreenArea>& screens,
                                      std::optional<ScreenArea> primary, QSize panel,
                                      int topOffset) {
    const std::optional<ScreenArea> target = screenUnder(pointer, screens, primary);
    if (!target) return std::nullopt;
    const QRect& v = target->available;
    return QPoint(v.x() + v.width() - panel.width() - kPanelEdgeDistance, v.y() + topOffset);
}

QPoint draggedOrigin(QRect wanted, QPoint pointer, const std::vector<ScreenArea>& screens,
                     std::optional<ScreenArea> primary) {
    const std::optional<ScreenArea> target = screenUnder(pointer, screens, primary);
    if (!target) return wanted.topLeft();
    // A panel has no frame of its own; its shadow may fall beyond the area.
    return WindowPlacement::fitInside(wanted, target->available, {}).topLeft();
}

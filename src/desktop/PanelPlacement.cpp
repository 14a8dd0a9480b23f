#include "desktop/PanelPlacement.h"

std::optional<QPoint> rightEdgeOrigin(QPoint pointer, const std::vector<ScreenArea>& screens,
                                      std::optional<ScreenArea> primary, QSize panel,
                                      int topOffset) {
    std::optional<ScreenArea> target;
    for (const ScreenArea& s : screens) {
        if (s.frame.contains(pointer)) {
            target = s;
            break;
        }
    }
    if (!target) target = primary;
    if (!target) return std::nullopt;
    const QRect& v = target->available;
    return QPoint(v.x() + v.width() - panel.width() - kPanelEdgeDistance, v.y() + topOffset);
}

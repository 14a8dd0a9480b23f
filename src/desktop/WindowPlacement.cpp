#include "desktop/WindowPlacement.h"

namespace WindowPlacement {

QSize fittedMinimum(QSize minimum, QRect available, QMargins frame) {
    return minimum.boundedTo(available.marginsRemoved(frame).size()).expandedTo(QSize(1, 1));
}

QRect fitInside(QRect client, QRect available, QMargins frame) {
    const QRect room = available.marginsRemoved(frame);
    QRect r(client.topLeft(), client.size().boundedTo(room.size()));
    if (r.right() > room.right()) r.moveRight(room.right());
    if (r.bottom() > room.bottom()) r.moveBottom(room.bottom());
    if (r.left() < room.left()) r.moveLeft(room.left());
    if (r.top() < room.top()) r.moveTop(room.top());
    return r;
}

QRect restored(std::optional<QRect> saved, QSize defaultSize, QSize minimum,
               const std::vector<QRect>& screens, QRect fallback, QMargins frame) {
    if (saved && !saved->isValid()) saved.reset();
    if (saved) {
        const QRect outer = saved->marginsAdded(frame);
        const QRect* best = nullptr;
        qint64 bestArea = 0;
        for (const QRect& screen : screens) {
            const QRect shared = outer.intersected(screen);
            const qint64 area = qint64(shared.width()) * shared.height();
            if (area > bestArea) best = &screen, bestArea = area;
        }
        if (best) {
            const QSize size = saved->size().expandedTo(fittedMinimum(minimum, *best, frame));
            return fitInside(QRect(saved->topLeft(), size), *best, frame);
        }
    }
    QRect r(
        QPoint(),
        (saved ? saved->size() : defaultSize).expandedTo(fittedMinimum(minimum, fallback, frame)));
    r.moveCenter(fallback.marginsRemoved(frame).center());
    return fitInside(r, fallback, frame);
}

QRect centredOver(QSize size, QRect anchor, QRect available, QMargins frame) {
    QRect r(QPoint(), size);
    r.moveCenter(anchor.center());
    return fitInside(r, available, frame);
}

}  // namespace WindowPlacement

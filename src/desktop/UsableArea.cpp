#include "desktop/UsableArea.h"

#include <QGuiApplication>
#include <QScreen>

namespace UsableArea {

QRect of(QRect screen, QRect available, bool placedByCompositor) {
    // A platform that knows the panels reports less than the whole screen.
    if (!placedByCompositor || available != screen) return available;
    const int half = kUnknownPanels / 2;
    return screen.marginsRemoved(
        QMargins(half, half, kUnknownPanels - half, kUnknownPanels - half));
}

QRect of(const QScreen& screen) {
    return of(screen.geometry(), screen.availableGeometry(),
              QGuiApplication::platformName().startsWith(QLatin1String("wayland")));
}

}  // namespace UsableArea

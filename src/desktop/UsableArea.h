#pragma once
// The part of a screen a window may take: without panels and docks. An X11 desktop publishes it,
// and Qt reports it as the screen's available geometry. A Wayland compositor tells a client
// neither where its panels are nor where it will put a window, and Qt then reports the whole
// screen: there, room for a panel or dock is kept on each axis, so that a window as large as
// this area still fits once the compositor has placed it beside one.
#include <QRect>

class QScreen;

namespace UsableArea {

// Room kept on each axis where the panels are unknown: a top bar and a dock together take up
// to 96 pixels. A maximised window is given the usable area, and a window whose minimum is
// larger than that cannot be maximised at all.
constexpr int kUnknownPanels = 96;

// `available` as the platform reports it for `screen`; `placedByCompositor` on Wayland.
QRect of(QRect screen, QRect available, bool placedByCompositor);
// The same for a screen of the running application.
QRect of(const QScreen& screen);

}  // namespace UsableArea

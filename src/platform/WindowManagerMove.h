#pragma once
// Hands the move of a top-level window over to the window manager while the left button is
// down, as a title bar would.
#include <QPoint>

class QMouseEvent;
class QWindow;

// `pressedAt` is where the button went down, in global coordinates; `now` is the motion with the
// button held that starts the move. On X11 the move starts from the press (as
// _NET_WM_MOVERESIZE allows), so that a move begun only after the pointer travelled past the
// drag distance still keeps the pointer on the spot it took hold of: Qt's own request would
// start from the pointer's latest position, and the window would lag behind by that distance.
// The window manager then takes the pointer and sees the button's release, which the window
// never does: it is told of a release at once, so that hover, tooltips and cursor shapes go on
// after the move. Elsewhere (Wayland) the compositor starts from the pointer, through Qt.
// Returns whether the window manager was asked.
bool moveWithWindowManager(QWindow* window, QPoint pressedAt, const QMouseEvent& now);

// A global position in device-independent pixels, in the X server's pixels: scaled about the
// origin of the screen it lies on, a corner that both share.
QPoint nativeGlobalPosition(QPoint logical, QPoint screenOrigin, qreal scale);

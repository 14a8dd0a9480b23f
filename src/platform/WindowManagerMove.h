#pragma once
// Hands the move of a top-level window over to the window manager while the left button is
// down, as a title bar would.
#include <QPoint>

class QWindow;

// `pressedAt` is where the button went down, in global coordinates. On X11 the move starts from
// there (as _NET_WM_MOVERESIZE allows), so that a move begun only after the pointer travelled
// past the drag distance still keeps the pointer on the spot it took hold of: Qt's own request
// would start from the pointer's latest position, and the window would lag behind by that
// distance. Elsewhere (Wayland) the compositor starts from the pointer, through Qt. Returns
// whether the window manager was asked.
bool moveWithWindowManager(QWindow* window, QPoint pressedAt);

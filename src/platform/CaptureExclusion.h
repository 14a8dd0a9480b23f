#pragma once
// Keeping a window's contents out of other programs' screen capture. X11 and Wayland have no
// such request: any client may read any window (X11) or the compositor decides (Wayland), so
// supported() is false and nothing here ever claims to hide a window.
#include <QObject>

class QWindow;

namespace CaptureExclusion {

bool supported();

// Asks that `window` be withheld from (true) or offered to (false) capture. Returns whether the
// system honours it: always false here.
bool setExcluded(QWindow* window, bool excluded);

}  // namespace CaptureExclusion

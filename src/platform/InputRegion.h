#pragma once
// Where a window takes the pointer. Outside its input region clicks and moves go to whatever
// lies below, as if the window were not there; what the window draws there stays visible.
class QRegion;
class QWindow;

// Call once the window has a native handle. On X11 this is the window's input shape; on
// Wayland a window's mask is its input region. An empty region restores the whole window.
// Returns whether the request could be made.
bool setInputRegion(QWindow* window, const QRegion& region);

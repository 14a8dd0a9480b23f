#pragma once
// Keeps a window on every virtual desktop, through the EWMH hints of the X window manager.
// Wayland has no such request for ordinary clients; there it does nothing and returns false.
class QWindow;

// Call once the window has a native handle; before it is mapped the hint is set as a property,
// afterwards it is asked of the window manager. Returns whether the request could be made.
bool showOnAllDesktops(QWindow* window);

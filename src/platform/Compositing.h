#pragma once
// Whether the desktop blends translucent windows over what lies behind them. On X11 that needs
// a compositing manager; without one the transparent parts of a window show black, and shaped
// windows must be cut out instead. Wayland always composites.
bool desktopComposites();

#pragma once
// Keeps the floating panels out of screen capture while "stealthMode" is on (the default), and
// the ordinary resizable windows capturable and able to go full screen. Re-applied at start,
// whenever the focus window changes and every 5 s. Linux offers no capture exclusion, so
// supported() is false there and the panels' request is only recorded, never claimed.
#include <vector>

#include "desktop/StealthWindow.h"

class QWidget;
class UserDefaults;

namespace Stealth {

// "stealthMode" read as a boolean; absent or not a boolean counts as true.
bool enabled(const UserDefaults& defaults);
bool enabled();  // from UserDefaults::standard()

// Whether the system can actually withhold a window from capture.
bool supported();

// Applies now, then on every focus-window change and every 5 s. Calling it again replaces the
// triggers. The store must outlive them.
void start();
void start(const UserDefaults& defaults);
// Brings every top-level window of the application into line.
void apply();
void apply(const UserDefaults& defaults);

// The rules, over any windows. Writes a property only when its value changes.
void applyTo(const std::vector<StealthWindow*>& windows, bool stealth);

// The sharing type recorded on a widget (read-only when nothing was asked yet).
SharingType sharingType(const QWidget* window);
void setSharingType(QWidget* window, SharingType type);

}  // namespace Stealth

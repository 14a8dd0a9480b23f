#pragma once
// The application's own icon, drawn from the same scalable file that is installed into the
// user's icon theme with the desktop entry.
#include <QIcon>

namespace AppIcon {

// Rendered at the sizes window managers and task switchers ask for.
QIcon icon();

}  // namespace AppIcon

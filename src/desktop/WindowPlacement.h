#pragma once
// Where the app's windows open: inside the usable area of a screen (without panels and docks),
// as large as they ask where it fits and never larger than the screen. Rectangles are client
// rectangles, as QWidget::geometry() has them; `frame` is what the window manager adds around.
#include <QMargins>
#include <QRect>
#include <QSize>

#include <optional>
#include <vector>

namespace WindowPlacement {

// A window's minimum, shrunk where the usable area, less the frame, is smaller.
QSize fittedMinimum(QSize minimum, QRect available, QMargins frame);

// `client` moved, and shrunk where needed, so that it and its frame lie inside `available`.
QRect fitInside(QRect client, QRect available, QMargins frame);

// The main window at start: a remembered geometry stays on the screen it overlaps most, at
// least the minimum that fits there. Without one, or off every screen, it opens at its
// remembered (else the default) size centred on `fallback`.
QRect restored(std::optional<QRect> saved, QSize defaultSize, QSize minimum,
               const std::vector<QRect>& screens, QRect fallback, QMargins frame);

// A window of `size` centred over `anchor`, inside `available`.
QRect centredOver(QSize size, QRect anchor, QRect available, QMargins frame);

}  // namespace WindowPlacement

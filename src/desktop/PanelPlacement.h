#pragma once
// Where a floating panel goes: its right edge kEdgeDistance from the right side and its top
// `topOffset` below the top of the usable area of the screen under the pointer (else the
// primary screen); and where a dragged one may go: all of it within that usable area.
// Top-left coordinates, as Qt has them.
#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>
#include <vector>

struct ScreenArea {
    QRect frame;      // the whole screen
    QRect available;  // without panels and docks
};

inline constexpr int kPanelEdgeDistance = 16;

// nullopt when there is no screen at all.
std::optional<QPoint> rightEdgeOrigin(QPoint pointer, const std::vector<ScreenArea>& screens,
                                      std::optional<ScreenArea> primary, QSize panel,
                                      int topOffset);

// The origin of a dragged panel that the pointer would put at `wanted` (the panel as seen),
// moved as little as needed for all of it to lie within the usable area of the screen under
// `pointer` (else the primary screen); `wanted`'s own origin when there is no screen.
QPoint draggedOrigin(QRect wanted, QPoint pointer, const std::vector<ScreenArea>& screens,
                     std::optional<ScreenArea> primary);

#pragma once
// Where a floating panel goes: its right edge kEdgeDistance from the right side and its top
// `topOffset` below the top of the usable area of the screen under the pointer (else the
// primary screen). Top-left coordinates, as Qt has them.
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

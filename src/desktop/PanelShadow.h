#pragma once
// The soft shadow that a floating panel casts on what lies behind it, where a compositor blends
// the panel's window over the desktop. The shadow falls a little downwards, as under a light
// from above, and fades out within the margin around the panel.
#include <QImage>

namespace PanelShadow {

// How far the shadow spreads beyond the panel's outline, and how far it falls.
inline constexpr int kBlur = 12;
inline constexpr int kOffsetY = 3;
// The room around the panel that holds the whole shadow.
inline constexpr int kMargin = kBlur + kOffsetY;
// The shadow's opacity under a wide, solid part of the panel.
inline constexpr double kOpacity = 0.32;

// The shadow of `shape` (of its alpha channel): black of varying opacity, in an image kMargin
// larger on every side than `shape`, with `shape`'s origin at (kMargin, kMargin). Sizes are in
// the image's pixels.
QImage of(const QImage& shape);

}  // namespace PanelShadow

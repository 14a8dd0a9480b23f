#pragma once
// Fonts, colours and the icon tile shared by the pill and the meeting prompt.
#include <QColor>
#include <QFont>
#include <QRectF>

#include <functional>

class QObject;
class QPainter;
class QWidget;

namespace PanelStyle {

// Japanese text needs the JP face: Han glyph shapes otherwise follow the locale.
QFont font(qreal pixelSize, QFont::Weight weight = QFont::Normal);

QColor red();
QColor windowBackground(const QWidget* w);
// The secondary text colour at `opacity`.
QColor secondary(const QWidget* w, qreal opacity = 1.0);

// The panel's rounded background over the whole widget. In a floating panel that casts a shadow
// the shadow sets it apart from the windows behind; anywhere else a thin edge of a middle tone
// does, which reads on light and dark windows alike. The outline is smoothed only where the
// window is blended over what lies behind; otherwise it is cut crisp, to match the window's
// shape mask pixel for pixel.
void paintBackground(QPainter& p, const QWidget* w, qreal cornerRadius);

// A black rounded tile with the white "waveform" symbol centred on it.
void paintIconTile(QPainter& p, const QRectF& tile, qreal cornerRadius, qreal symbolSize);

// Whether animations hold a still frame: the desktop's setting to reduce motion, unless
// TAVRO_REDUCE_MOTION overrides it ("0": move; anything else but empty: hold still).
bool reduceMotion();
// Calls `follow` in `receiver`'s context each time the desktop's setting turns, for as long as
// the receiver lives, so that a view on screen moves or holds still without being rebuilt.
void onReduceMotionChanged(QObject* receiver, std::function<void()> follow);

}  // namespace PanelStyle

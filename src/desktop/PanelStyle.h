#pragma once
// Fonts, colours and the icon tile shared by the pill and the meeting prompt.
#include <QColor>
#include <QFont>
#include <QRectF>

class QPainter;
class QWidget;

namespace PanelStyle {

// Japanese text needs the JP face: Han glyph shapes otherwise follow the locale.
QFont font(qreal pixelSize, QFont::Weight weight = QFont::Normal);

QColor red();
QColor windowBackground(const QWidget* w);
// The secondary text colour at `opacity`.
QColor secondary(const QWidget* w, qreal opacity = 1.0);

// A black rounded tile with the white "waveform" symbol centred on it.
void paintIconTile(QPainter& p, const QRectF& tile, qreal cornerRadius, qreal symbolSize);

// TAVRO_REDUCE_MOTION set to anything but "" or "0": animations hold a still frame.
bool reduceMotion();

}  // namespace PanelStyle

#pragma once
// The faint one-pixel line between the main window's columns and sections.
#include <Qt>

class QWidget;

// A line across (Qt::Horizontal) or down (Qt::Vertical) in the text colour at 12 %.
QWidget* divider(Qt::Orientation orientation = Qt::Horizontal);

#pragma once
// The detail pane's type and colours, and the small text blocks its pages are made of. Their
// labels are plain text: what they show comes from records, the user and the service.
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QSizePolicy>
#include <QString>

class QLabel;
class QWidget;

namespace DetailStyle {

QFont font(qreal pixelSize, QFont::Weight weight = QFont::Normal);
// Secondary and tertiary text, from the window text colour.
QColor secondary(const QWidget* w);
QColor tertiary(const QWidget* w);
// The faint outline of cards.
QColor quaternary(const QWidget* w);
QColor green();

// A 23 px semibold heading.
QLabel* sectionTitle(const QString& text);
// Wrapped, selectable plain text in the 16 px body font, with `lineSpacing` px of leading.
QLabel* body(const QString& text, int lineSpacing);
// A wrapped caption of `pixelSize` in `color`.
QLabel* caption(const QString& text, qreal pixelSize, const QColor& color);

// A wrapped label's horizontal policy. A fresh QSizePolicy would drop the height-for-width
// that wrapping set, and the layout would then give the label one line's height too few.
void setHorizontalPolicy(QLabel* label, QSizePolicy::Policy policy);

// The pane's own glyphs: "checkmark", "checkmark.circle.fill", "pencil"; anything else is
// looked up in the application's symbol set.
QPixmap glyph(const QString& name, int side, const QColor& color, qreal dpr = 1.0);

}  // namespace DetailStyle

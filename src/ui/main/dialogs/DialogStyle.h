#pragma once
// What the main window's sheets share in look: the fixed-size window-modal frame, the text
// styles (title, headline, body, callout, caption) and the status colours.
#include <QColor>
#include <QFont>
#include <QString>

class QDialog;
class QFrame;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QWidget;

namespace DialogStyle {

enum class Text { largeTitle, title, headline, body, callout, caption };

QFont font(Text style);
QColor orange();
QColor green();
QColor blue();

// A sheet over `parent`: window-modal, exactly `size`, in the Japanese face, deleted on close.
void makeSheet(QDialog& dialog, QSize size);
// A label in `style`, word-wrapped when `wrap`.
QLabel* label(const QString& text, Text style, bool wrap = false);
// A word-wrapped label in `style` and the secondary colour: help lines and notes.
QLabel* secondaryLabel(const QString& text, Text style);
// The sheet's top row: its title, and a close button on the right that dismisses `sheet`.
QHBoxLayout* titleBar(QDialog& sheet, const QString& title);
// A thin line in the secondary colour between the groups of a sheet.
QFrame* divider();
void setColor(QWidget* w, const QColor& color);
// The secondary text colour of `w`'s palette.
void setSecondary(QWidget* w);
// The one filled button of a row (create, ask, next).
void makeProminent(QPushButton* button);

}  // namespace DialogStyle

#pragma once
// Text that comes from the user, a record or the service, put on widgets so that it reads
// exactly as written: "&" is not a shortcut marker and "<b>" is not markup.
#include <QString>

class QLabel;
class QWidget;

namespace UserText {

// For menu items, buttons, check boxes and tab titles: "&" becomes "&&", so "R&D" shows as
// "R&D" and registers no Alt shortcut.
QString forMenu(const QString& text);

// A label that shows `text` as plain characters, whatever it holds.
QLabel* plainLabel(const QString& text = QString(), QWidget* parent = nullptr);

// Switches an existing label to plain text.
void makePlain(QLabel* label);

// `text` escaped for insertion into a rich-text label (a link's words, say).
QString forRichText(const QString& text);

// A tooltip that shows `text` whole, as the characters it holds (for text cut short where it
// stands): a tooltip that looks like markup would be read as such.
QString asTooltip(const QString& text);

}  // namespace UserText

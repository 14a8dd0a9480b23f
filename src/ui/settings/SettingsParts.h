#pragma once
// Small parts the settings tabs build their rows from.
#include <QString>

class QColor;
class QLabel;
class QProgressBar;
class QPushButton;

// A push button in caption size, for the secondary action beside a row.
QPushButton* settingsSmallButton(const QString& text);
// A busy bar with no end known, the size of a small spinner.
QProgressBar* settingsSpinner();
// Sets `label`'s text colour and hands it back.
QLabel* settingsTint(QLabel* label, const QColor& color);
// A caption in orange, for a setting that needs the user's attention.
QLabel* settingsWarning(const QString& text);

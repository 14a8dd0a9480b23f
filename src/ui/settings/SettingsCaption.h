#pragma once
// The explanatory line under a settings control: caption size, secondary colour, wrapped.
#include <QString>

class QLabel;
class QWidget;

QLabel* settingsCaption(const QString& text, QWidget* parent = nullptr);
// Gives an existing label the caption's size and colour, leaving its wrapping; hands it back.
QLabel* asSettingsCaption(QLabel* label);

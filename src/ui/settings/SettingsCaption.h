#pragma once
// The explanatory line under a settings control: caption size, secondary colour, wrapped.
#include <QString>

class QLabel;
class QWidget;

QLabel* settingsCaption(const QString& text, QWidget* parent = nullptr);

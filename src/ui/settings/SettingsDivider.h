#pragma once
// The thin line between groups of settings rows, with 4 px above and below.
class QWidget;

QWidget* settingsDivider(QWidget* parent = nullptr);

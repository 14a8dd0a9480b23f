#pragma once
// The thin line between groups of settings rows, with `padding` px above and below.
class QWidget;

inline constexpr int kDividerPadding = 4;
// The agent and integration tabs set their groups further apart.
inline constexpr int kWideDividerPadding = 6;

QWidget* settingsDivider(QWidget* parent = nullptr, int padding = kDividerPadding);

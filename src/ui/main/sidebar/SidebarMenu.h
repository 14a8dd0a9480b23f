#pragma once
// Pops a menu made from view-model entries and, once it has closed, runs the chosen entry.
#include <QPoint>

#include <vector>

#include "ui/main/sidebar/MenuEntry.h"

class QMenu;
class QWidget;

namespace SidebarMenu {

void exec(const std::vector<MenuEntry>& entries, const QPoint& globalPos, QWidget* parent);

}  // namespace SidebarMenu

#include "ui/main/sidebar/SidebarMenu.h"

#include <QMenu>

#include <map>

#include "desktop/PanelStyle.h"
#include "desktop/UserText.h"
#include "ui/main/sidebar/SidebarSymbols.h"
#include "ui/main/sidebar/SwatchImages.h"

namespace {

using Actions = std::map<QAction*, std::function<void()>>;

// Labels hold folder, tag and colour names as the user wrote them: "R&D" marks no shortcut.
void fill(QMenu& menu, const std::vector<MenuEntry>& entries, Actions& actions) {
    for (const MenuEntry& e : entries) {
        switch (e.kind) {
            case MenuEntry::Kind::separator:
                menu.addSeparator();
                continue;
            case MenuEntry::Kind::submenu: {
                QMenu* sub = menu.addMenu(UserText::forMenu(e.label));
                sub->setEnabled(e.enabled);
                fill(*sub, e.children, actions);
                continue;
            }
            default:
                break;
        }
        QAction* a = menu.addAction(UserText::forMenu(e.label));
        a->setEnabled(e.enabled && e.kind != MenuEntry::Kind::text);
        if (e.kind == MenuEntry::Kind::toggle) {
            a->setCheckable(true);
            a->setChecked(e.checked);
        }
        if (e.swatch) {
            a->setIcon(swatchIcon(*e.swatch));
        } else if (!e.symbol.isEmpty()) {
            const QColor tint =
                e.destructive ? PanelStyle::red() : menu.palette().color(QPalette::Text);
            a->setIcon(SidebarSymbols::icon(e.symbol, tint));
        }
        if (e.action) actions.emplace(a, e.action);
    }
}

}  // namespace

namespace SidebarMenu {

void exec(const std::vector<MenuEntry>& entries, const QPoint& globalPos, QWidget* parent) {
    QMenu menu(parent);
    Actions actions;
    fill(menu, entries, actions);
    QAction* chosen = menu.exec(globalPos);
    if (!chosen) return;
    if (auto it = actions.find(chosen); it != actions.end()) {
        const auto run = it->second;  // the menu goes before the action may ask a question
        menu.clear();
        run();
    }
}

}  // namespace SidebarMenu

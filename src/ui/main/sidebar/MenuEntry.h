#pragma once
// One entry of a menu the sidebar shows, as the view-model builds it: what it says, whether it
// can be chosen, whether it is ticked, and what choosing it does. The widgets turn a list of
// these into a real menu; tests read the list without popping anything.
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct MenuEntry {
    enum class Kind { action, toggle, submenu, separator, text };

    Kind kind = Kind::action;
    QString label;
    // A symbol name for the icon, or empty.
    QString symbol;
    // A colour id whose swatch is the icon.
    std::optional<std::string> swatch;
    bool enabled = true;
    // For toggles: on or off.
    bool checked = false;
    bool destructive = false;
    std::function<void()> action;
    std::vector<MenuEntry> children;

    static MenuEntry item(QString label, std::function<void()> action, QString symbol = {}) {
        MenuEntry e;
        e.label = std::move(label);
        e.action = std::move(action);
        e.symbol = std::move(symbol);
        return e;
    }
    static MenuEntry toggle(QString label, bool on, std::function<void()> action) {
        MenuEntry e = item(std::move(label), std::move(action));
        e.kind = Kind::toggle;
        e.checked = on;
        return e;
    }
    static MenuEntry submenu(QString label, std::vector<MenuEntry> children, bool enabled = true) {
        MenuEntry e;
        e.kind = Kind::submenu;
        e.label = std::move(label);
        e.children = std::move(children);
        e.enabled = enabled;
        return e;
    }
    static MenuEntry separator() {
        MenuEntry e;
        e.kind = Kind::separator;
        return e;
    }
    static MenuEntry text(QString label) {
        MenuEntry e;
        e.kind = Kind::text;
        e.label = std::move(label);
        e.enabled = false;
        return e;
    }
};

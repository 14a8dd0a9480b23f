#pragma once
// The tray menu as data: which items, in which order, with which labels, shortcuts and state,
// for a recorder phase, its clock and an available update. MenuBarContent renders it.
#include <optional>
#include <string>
#include <vector>

#include "engine/RecorderControl.h"

struct MenuItem {
    enum class Kind { action, separator };
    enum class Action { none, openDownload, toggleRecording, openMainWindow, openSettings, quit };

    Kind kind = Kind::action;
    std::string label;
    std::string shortcut;  // QKeySequence text, e.g. "Ctrl+O"; empty for none
    bool enabled = true;
    Action action = Action::none;

    bool operator==(const MenuItem&) const = default;
};

std::vector<MenuItem> menuItems(RecorderControl::Phase phase, int elapsed,
                                const std::optional<std::string>& availableVersion);

// The tray symbol for a phase.
std::string menuBarSymbol(RecorderControl::Phase phase);

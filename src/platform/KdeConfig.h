#pragma once
// KDE's configuration files (kdeglobals, kwinrc): INI-like groups of "Key=value" entries.
#include <optional>
#include <string>
#include <string_view>

class KdeConfig {
public:
    // The text of `key` in `group` of a file's text, where it is set; the last entry wins, as
    // KDE reads it.
    static std::optional<std::string> entry(std::string_view text, std::string_view group,
                                            std::string_view key);
};

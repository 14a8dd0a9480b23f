#pragma once
// The desktop's sound settings, where the microphone and the output device are chosen: the
// first known settings program that is installed, the current desktop's own first.
#include <optional>
#include <string>
#include <vector>

struct SoundSettings {
    std::string program;  // full path
    std::vector<std::string> arguments;

    // None when no known program is installed. `desktop` is XDG_CURRENT_DESKTOP's value.
    static std::optional<SoundSettings> find(const std::string& desktop);
    static std::optional<SoundSettings> find();

    // Starts the program detached from the app; false when it could not be started.
    bool open() const;
};

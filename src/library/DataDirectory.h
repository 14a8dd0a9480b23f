#pragma once
#include <filesystem>

// $XDG_DATA_HOME/TAVRO, or ~/.local/share/TAVRO when XDG_DATA_HOME is unset or relative.
// Creates nothing.
std::filesystem::path tavroDataDirectory();

// The older data folder, ~/TAVRO. Only the migration reads it.
std::filesystem::path legacyTavroDataDirectory();

#pragma once
#include <filesystem>
#include <string>
#include <string_view>

// The shell that runs a command as the user's login would, so that the user's own PATH is set
// up: `preferred` when it is an executable file, otherwise the user's login shell from the
// password database, "/bin/sh" when that names none.
std::string loginShell(const std::filesystem::path& preferred = "/bin/zsh");

// `text` between single quotes for a POSIX shell, each "'" written as "'\''", so that nothing in
// it can end the quoting.
std::string shellSingleQuoted(std::string_view text);

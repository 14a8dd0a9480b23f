#include "library/DataDirectory.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace {

std::filesystem::path homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

}  // namespace

std::filesystem::path tavroDataDirectory() {
    // The XDG rules ignore a relative XDG_DATA_HOME.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/')
        return std::filesystem::path(xdg) / "TAVRO";
    return homeDirectory() / ".local" / "share" / "TAVRO";
}

std::filesystem::path legacyTavroDataDirectory() {
    return homeDirectory() / "TAVRO";
}

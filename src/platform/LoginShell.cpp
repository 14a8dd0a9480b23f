#include "platform/LoginShell.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace {

bool isExecutableFile(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_regular_file(p, ec) && access(p.c_str(), X_OK) == 0;
}

std::string passwordDatabaseShell() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd pw{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) != 0 || !found) return {};
    return found->pw_shell ? found->pw_shell : "";
}

}  // namespace

std::string loginShell(const std::filesystem::path& preferred) {
    if (isExecutableFile(preferred)) return preferred.string();
    std::string shell = passwordDatabaseShell();
    return shell.empty() ? "/bin/sh" : shell;
}

std::string shellSingleQuoted(std::string_view text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += '\'';
    return quoted;
}

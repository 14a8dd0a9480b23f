#include "EnvironmentWrites.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::mutex guard;
int watchers = 0;
std::vector<std::string> written;

void note(const char* name) {
    const std::lock_guard lock(guard);
    if (watchers > 0) written.emplace_back(name ? name : "");
}

// The C library's own function of that name.
template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

EnvironmentWrites::EnvironmentWrites() {
    const std::lock_guard lock(guard);
    if (watchers++ == 0) written.clear();
}

EnvironmentWrites::~EnvironmentWrites() {
    const std::lock_guard lock(guard);
    --watchers;
}

std::vector<std::string> EnvironmentWrites::names() const {
    const std::lock_guard lock(guard);
    return written;
}

extern "C" {

int setenv(const char* name, const char* value, int overwrite) noexcept {
    static const auto real = next<int (*)(const char*, const char*, int)>("setenv");
    note(name);
    return real(name, value, overwrite);
}

int unsetenv(const char* name) noexcept {
    static const auto real = next<int (*)(const char*)>("unsetenv");
    note(name);
    return real(name);
}

int putenv(char* assignment) noexcept {
    static const auto real = next<int (*)(char*)>("putenv");
    const char* equals = std::strchr(assignment, '=');
    note(equals ? std::string(assignment, std::size_t(equals - assignment)).c_str() : assignment);
    return real(assignment);
}

int clearenv() noexcept {
    static const auto real = next<int (*)()>("clearenv");
    note("*");
    return real();
}

}  // extern "C"

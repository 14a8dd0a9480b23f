#include "support/TempDir.h"

#include <cstdlib>
#include <ctime>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tavro-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

static const char* const kHomeVars[4] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                         "XDG_CACHE_HOME"};

ScopedHome::ScopedHome() {
    for (int i = 0; i < 4; ++i) {
        const char* old = std::getenv(kHomeVars[i]);
        saved_[i] = {kHomeVars[i], old != nullptr, old ? old : ""};
    }
    const auto& h = dir_.path();
    setenv("HOME", h.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (h / ".config").c_str(), 1);
    setenv("XDG_DATA_HOME", (h / ".local/share").c_str(), 1);
    setenv("XDG_CACHE_HOME", (h / ".cache").c_str(), 1);
}

ScopedHome::~ScopedHome() {
    for (const auto& s : saved_) {
        if (s.had)
            setenv(s.name.c_str(), s.value.c_str(), 1);
        else
            unsetenv(s.name.c_str());
    }
}

ScopedTimeZone::ScopedTimeZone(const char* tz) {
    const char* old = std::getenv("TZ");
    had_ = old != nullptr;
    old_ = old ? old : "";
    setenv("TZ", tz, 1);
    tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
    if (had_)
        setenv("TZ", old_.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

}  // namespace testsupport

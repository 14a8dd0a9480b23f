#pragma once
// GNOME's "enable-animations" (org.gnome.desktop.interface) as this test process sees it, put
// back to its default at destruction. Only with GSETTINGS_BACKEND=memory, as the test
// environment sets it: a write then reaches this process's own readers and nothing else, never
// a developer's desktop.
#include <memory>

#include "support/TestEnv.h"

namespace testsupport {

class ScopedGnomeAnimations {
public:
    // The memory backend is in use and the schema is installed.
    static EnvProbe probe();

    ScopedGnomeAnimations();
    ~ScopedGnomeAnimations();
    ScopedGnomeAnimations(const ScopedGnomeAnimations&) = delete;
    ScopedGnomeAnimations& operator=(const ScopedGnomeAnimations&) = delete;

    void set(bool enabled);

private:
    struct Settings;
    std::unique_ptr<Settings> settings_;
};

}  // namespace testsupport

#pragma once
// One key of a GNOME settings schema as this test process sees it, put back to its default at
// destruction. Only with GSETTINGS_BACKEND=memory, as the test environment sets it: a write then
// reaches this process's own readers and nothing else, never a developer's desktop.
#include <QString>

#include <string>

#include "support/TestEnv.h"

typedef struct _GSettings GSettings;

namespace testsupport {

class ScopedGnomeSetting {
public:
    // The memory backend is in use and the schema is installed.
    static EnvProbe probe(const QString& schema);

    ScopedGnomeSetting(const QString& schema, const QString& key);
    ~ScopedGnomeSetting();
    ScopedGnomeSetting(const ScopedGnomeSetting&) = delete;
    ScopedGnomeSetting& operator=(const ScopedGnomeSetting&) = delete;

    void set(bool value);
    void set(const char* text);

private:
    std::string key_;
    GSettings* settings_ = nullptr;
};

}  // namespace testsupport

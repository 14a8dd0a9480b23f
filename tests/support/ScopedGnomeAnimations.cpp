#include "support/ScopedGnomeAnimations.h"

#include <gio/gio.h>

#include <cstdlib>
#include <string>

namespace testsupport {
namespace {

constexpr const char* kSchema = "org.gnome.desktop.interface";
constexpr const char* kKey = "enable-animations";

}  // namespace

struct ScopedGnomeAnimations::Settings {
    GSettings* settings = nullptr;
};

EnvProbe ScopedGnomeAnimations::probe() {
    const char* backend = std::getenv("GSETTINGS_BACKEND");
    if (!backend || std::string(backend) != "memory")
        return {false, "GSETTINGS_BACKEND is not \"memory\"; refusing to touch real settings"};
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source ? g_settings_schema_source_lookup(source, kSchema, TRUE) : nullptr;
    if (!schema)
        return {false, std::string("the GSettings schema ") + kSchema +
                           " is not installed (gsettings-desktop-schemas)"};
    g_settings_schema_unref(schema);
    return {true, {}};
}

ScopedGnomeAnimations::ScopedGnomeAnimations() : settings_(std::make_unique<Settings>()) {
    if (probe().ok) settings_->settings = g_settings_new(kSchema);
}

ScopedGnomeAnimations::~ScopedGnomeAnimations() {
    if (!settings_->settings) return;
    g_settings_reset(settings_->settings, kKey);
    g_object_unref(settings_->settings);
}

void ScopedGnomeAnimations::set(bool enabled) {
    if (settings_->settings) g_settings_set_boolean(settings_->settings, kKey, enabled);
}

}  // namespace testsupport

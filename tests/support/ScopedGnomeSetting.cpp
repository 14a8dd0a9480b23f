#include "support/ScopedGnomeSetting.h"

#include <gio/gio.h>

#include <cstdlib>

namespace testsupport {

EnvProbe ScopedGnomeSetting::probe(const QString& schemaId) {
    const char* backend = std::getenv("GSETTINGS_BACKEND");
    if (!backend || std::string(backend) != "memory")
        return {false, "GSETTINGS_BACKEND is not \"memory\"; refusing to touch real settings"};
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source ? g_settings_schema_source_lookup(source, schemaId.toUtf8().constData(), TRUE)
               : nullptr;
    if (!schema)
        return {false, "the GSettings schema " + schemaId.toStdString() +
                           " is not installed (gsettings-desktop-schemas)"};
    g_settings_schema_unref(schema);
    return {true, {}};
}

ScopedGnomeSetting::ScopedGnomeSetting(const QString& schema, const QString& key)
    : key_(key.toStdString()) {
    if (probe(schema).ok) settings_ = g_settings_new(schema.toUtf8().constData());
}

ScopedGnomeSetting::~ScopedGnomeSetting() {
    if (!settings_) return;
    g_settings_reset(settings_, key_.c_str());
    g_object_unref(settings_);
}

void ScopedGnomeSetting::set(bool value) {
    if (settings_) g_settings_set_boolean(settings_, key_.c_str(), value);
}

void ScopedGnomeSetting::set(const char* text) {
    if (settings_) g_settings_set_string(settings_, key_.c_str(), text);
}

}  // namespace testsupport

#include "platform/GnomeSetting.h"

#include <gio/gio.h>

#include <utility>

GnomeSetting::GnomeSetting(const char* schemaId, const char* key, const char* type,
                           std::function<void()> changed)
    : key_(key), changed_(std::move(changed)) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source ? g_settings_schema_source_lookup(source, schemaId, TRUE) : nullptr;
    if (!schema) return;
    if (g_settings_schema_has_key(schema, key)) {
        GSettingsSchemaKey* found = g_settings_schema_get_key(schema, key);
        if (g_variant_type_equal(g_settings_schema_key_get_value_type(found), G_VARIANT_TYPE(type)))
            settings_ = g_settings_new_full(schema, nullptr, nullptr);
        g_settings_schema_key_unref(found);
    }
    g_settings_schema_unref(schema);
    if (!settings_ || !changed_) return;
    handler_ = g_signal_connect(settings_, ("changed::" + key_).c_str(),
                                G_CALLBACK(&GnomeSetting::onChanged), this);
    // GSettings reports changes only of keys read since.
    g_variant_unref(g_settings_get_value(settings_, key));
}

GnomeSetting::~GnomeSetting() {
    if (!settings_) return;
    if (handler_) g_signal_handler_disconnect(settings_, handler_);
    g_object_unref(settings_);
}

std::optional<bool> GnomeSetting::boolean() const {
    if (!settings_) return std::nullopt;
    return g_settings_get_boolean(settings_, key_.c_str()) != FALSE;
}

std::optional<std::string> GnomeSetting::text() const {
    if (!settings_) return std::nullopt;
    gchar* text = g_settings_get_string(settings_, key_.c_str());
    std::string out(text ? text : "");
    g_free(text);
    return out;
}

bool GnomeSetting::userSet() const {
    if (!settings_) return false;
    GVariant* value = g_settings_get_user_value(settings_, key_.c_str());
    if (value) g_variant_unref(value);
    return value != nullptr;
}

void GnomeSetting::onChanged(GSettings*, const char*, void* self) {
    static_cast<GnomeSetting*>(self)->changed_();
}

#include "platform/WindowButtonLayoutReader.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

#include <gio/gio.h>

#include <utility>

namespace {

constexpr const char* kPortalService = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kPortalInterface = "org.freedesktop.portal.Settings";

}  // namespace

WindowButtonLayoutReader::WindowButtonLayoutReader(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
    const auto text = fromGSettings();
    const auto read = text ? WindowButtonLayout::parse(*text) : std::nullopt;
    layout_ = read.value_or(WindowButtonLayout::standard());
    if (!bus_.isConnected()) {
        waiting_ = false;
        return;
    }
    // ReadOne answers the value itself; portals before version 2 only have Read.
    ask("ReadOne");
}

void WindowButtonLayoutReader::ask(const char* method) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kPortalService), QString::fromLatin1(kPortalPath),
        QString::fromLatin1(kPortalInterface), QString::fromLatin1(method));
    call << QString::fromLatin1(kSchema) << QString::fromLatin1(kKey);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, method](QDBusPendingCallWatcher* w) { answered(w, method); });
}

void WindowButtonLayoutReader::answered(QDBusPendingCallWatcher* call, const char* method) {
    call->deleteLater();
    const QDBusPendingReply<QDBusVariant> reply = *call;
    if (reply.isError()) {
        if (reply.error().type() == QDBusError::UnknownMethod && qstrcmp(method, "ReadOne") == 0)
            return ask("Read");
        waiting_ = false;  // no portal, or it does not have the setting
        return;
    }
    // Read wraps the value in one more variant.
    QVariant value = reply.value().variant();
    while (value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    if (value.typeId() == QMetaType::QString) {
        const auto read = WindowButtonLayout::parse(value.toString().toStdString());
        if (read && *read != layout_) {
            layout_ = *read;
            Q_EMIT layoutChanged();
        }
    }
    waiting_ = false;
}

std::optional<std::string> WindowButtonLayoutReader::fromGSettings() {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source ? g_settings_schema_source_lookup(source, kSchema, TRUE) : nullptr;
    if (!schema) return std::nullopt;
    // Without the key, creating the settings object would be fine but reading it would abort.
    const bool hasKey = g_settings_schema_has_key(schema, kKey);
    GSettings* settings = hasKey ? g_settings_new_full(schema, nullptr, nullptr) : nullptr;
    g_settings_schema_unref(schema);
    if (!settings) return std::nullopt;
    gchar* text = g_settings_get_string(settings, kKey);
    std::string out(text ? text : "");
    g_free(text);
    g_object_unref(settings);
    return out;
}

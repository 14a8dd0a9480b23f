// Built with QT_NO_KEYWORDS (see calendar.cmake).
#include "EdsTestCalendar.h"

#include <libecal/libecal.h>
#include <libedataserver/libedataserver.h>

#include <unistd.h>
#include <ctime>

namespace edstest {
namespace {

ESourceRegistry* registry() {
    static ESourceRegistry* r = e_source_registry_new_sync(nullptr, nullptr);
    return r;
}

ECalClient* localCalendar() {
    static ECalClient* client = [] {
        if (!registry()) return static_cast<ECalClient*>(nullptr);
        ESource* source = e_source_registry_ref_builtin_calendar(registry());
        EClient* c = e_cal_client_connect_sync(source, E_CAL_CLIENT_SOURCE_TYPE_EVENTS,
                                               static_cast<guint32>(-1), nullptr, nullptr);
        g_object_unref(source);
        return c ? E_CAL_CLIENT(c) : nullptr;
    }();
    return client;
}

}  // namespace

testsupport::EnvProbe probe() {
    testsupport::EnvProbe session = testsupport::probeSessionBus();
    if (!session.ok) return session;
    // Starting the service by name fails when it is not installed for the bus.
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    GVariant* reply =
        bus ? g_dbus_connection_call_sync(
                  bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                  "StartServiceByName",
                  g_variant_new("(su)", "org.gnome.evolution.dataserver.Sources5", 0u), nullptr,
                  G_DBUS_CALL_FLAGS_NONE, 25000, nullptr, nullptr)
            : nullptr;
    if (bus) g_object_unref(bus);
    if (!reply) return {false, "evolution-data-server is not installed for the session bus"};
    g_variant_unref(reply);
    return {true, {}};
}

bool addEvent(const std::string& vevent) {
    ECalClient* client = localCalendar();
    ICalComponent* comp = client ? i_cal_component_new_from_string(vevent.c_str()) : nullptr;
    if (!comp) return false;
    const gboolean ok = e_cal_client_create_object_sync(client, comp, E_CAL_OPERATION_FLAG_NONE,
                                                        nullptr, nullptr, nullptr);
    g_object_unref(comp);
    return ok;
}

void removeEvent(const std::string& uid) {
    if (ECalClient* client = localCalendar()) {
        e_cal_client_remove_object_sync(client, uid.c_str(), nullptr, E_CAL_OBJ_MOD_ALL,
                                        E_CAL_OPERATION_FLAG_NONE, nullptr, nullptr);
    }
}

bool addUserAddress(const std::string& address) {
    if (!registry()) return false;
    // One identity per test process: tests running side by side must not race for one name.
    const std::string uid = "tavro-test-identity-" + std::to_string(getpid());
    if (ESource* existing = e_source_registry_ref_source(registry(), uid.c_str())) {
        g_object_unref(existing);
        return true;
    }
    ESource* source = e_source_new_with_uid(uid.c_str(), nullptr, nullptr);
    if (!source) return false;
    e_source_set_display_name(source, "Test identity");
    auto* ext =
        E_SOURCE_MAIL_IDENTITY(e_source_get_extension(source, E_SOURCE_EXTENSION_MAIL_IDENTITY));
    e_source_mail_identity_set_address(ext, address.c_str());
    GList* list = g_list_append(nullptr, source);
    const gboolean ok = e_source_registry_create_sources_sync(registry(), list, nullptr, nullptr);
    g_list_free(list);
    g_object_unref(source);
    return ok;
}

std::string utcStamp(long long secondsFromNow) {
    const std::time_t t = std::time(nullptr) + secondsFromNow;
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%dT%H%M%SZ", &tm);
    return buf;
}

}  // namespace edstest

// Built with QT_NO_KEYWORDS (see calendar.cmake): the GLib headers use "signals" as a name.
#include "platform/EdsCalendarStore.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include <libecal/libecal.h>
#include <libedataserver/libedataserver.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "platform/CalendarICal.h"

namespace {

constexpr const char* kRegistryBusName = "org.gnome.evolution.dataserver.Sources5";

template <typename T>
struct GObjectPtr {
    T* p = nullptr;
    GObjectPtr() = default;
    explicit GObjectPtr(T* adopt) : p(adopt) {}
    GObjectPtr(const GObjectPtr& o) : p(o.p ? static_cast<T*>(g_object_ref(o.p)) : nullptr) {}
    GObjectPtr& operator=(GObjectPtr o) {
        std::swap(p, o.p);
        return *this;
    }
    ~GObjectPtr() {
        if (p) g_object_unref(p);
    }
    T* get() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

std::string str(const char* s) {
    return s ? std::string(s) : std::string();
}

bool looksLikeAddress(const char* s) {
    return s && std::strchr(s, '@') != nullptr;
}

// Callbacks from GLib outlive nothing: each carries a weak pointer to the store.
struct Guard {
    QPointer<EdsCalendarStore> store;
    std::string uid;
};

}  // namespace

struct EdsCalendarStore::Private {
    struct Calendar {
        GObjectPtr<ECalClient> client;
        GObjectPtr<ECalClientView> view;
        icaltimezone* zone = nullptr;
    };

    EdsCalendarStore* q;
    GCancellable* cancellable = g_cancellable_new();
    GObjectPtr<ESourceRegistry> registry;
    std::vector<gulong> registryHandlers;
    Authorization authorization = Authorization::notDetermined;
    bool connecting = false;
    std::vector<AccessCallback> waiting;
    std::map<std::string, Calendar> connected;
    std::set<std::string> pendingConnects;
    bool changePending = false;
    QThreadPool pool;

    explicit Private(EdsCalendarStore* owner) : q(owner) {
        // One query at a time keeps libical off two threads at once.
        pool.setMaxThreadCount(1);
    }

    ~Private() {
        g_cancellable_cancel(cancellable);
        pool.waitForDone();
        for (auto& [uid, cal] : connected) dropView(cal);
        for (gulong id : registryHandlers) g_signal_handler_disconnect(registry.get(), id);
        g_object_unref(cancellable);
    }

    static void dropView(Calendar& cal) {
        if (!cal.view) return;
        g_signal_handlers_disconnect_matched(cal.view.get(), G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                                             reinterpret_cast<gpointer>(&onViewChanged), nullptr);
        e_cal_client_view_stop(cal.view.get(), nullptr);
        cal.view = {};
    }

    void finishAccess(bool granted) {
        connecting = false;
        // The service never refuses a reader of the user's own session: a failure means it
        // could not be reached.
        authorization = granted ? Authorization::granted : Authorization::unavailable;
        auto callbacks = std::move(waiting);
        waiting.clear();
        for (auto& cb : callbacks) cb(granted);
    }

    void scheduleChanged() {
        if (changePending) return;
        changePending = true;
        // Many signals of one burst make one change.
        QTimer::singleShot(0, q, [this] {
            changePending = false;
            Q_EMIT q->changed();
        });
    }

    std::vector<GObjectPtr<ESource>> enabledCalendars() const {
        std::vector<GObjectPtr<ESource>> out;
        if (!registry) return out;
        GList* list = e_source_registry_list_enabled(registry.get(), E_SOURCE_EXTENSION_CALENDAR);
        for (GList* l = list; l; l = l->next) {
            out.emplace_back(static_cast<ESource*>(g_object_ref(l->data)));
        }
        g_list_free_full(list, g_object_unref);
        // The registry's own order is a hash table's; make it stable.
        std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
            return std::strcmp(e_source_get_uid(a.get()), e_source_get_uid(b.get())) < 0;
        });
        return out;
    }

    GObjectPtr<ESource> ref(const char* uid) const {
        if (!uid || !*uid) return {};
        return GObjectPtr<ESource>(e_source_registry_ref_source(registry.get(), uid));
    }

    // The top-most ancestor: the account a calendar belongs to.
    std::string accountUid(ESource* source) const {
        std::string uid = str(e_source_get_uid(source));
        GObjectPtr<ESource> current(static_cast<ESource*>(g_object_ref(source)));
        for (int depth = 0; depth < 8; ++depth) {
            GObjectPtr<ESource> parent = ref(e_source_get_parent(current.get()));
            if (!parent) break;
            uid = str(e_source_get_uid(parent.get()));
            current = parent;
        }
        return uid;
    }

    // The user's own addresses for a calendar: what its account knows about the user, and the
    // mail identities of the same account. A calendar without any (a local one) takes every
    // mail identity of the user.
    std::vector<std::string> userAddresses(ESource* source) const {
        std::vector<std::string> out;
        GObjectPtr<ESource> current(static_cast<ESource*>(g_object_ref(source)));
        for (int depth = 0; current && depth < 8; ++depth) {
            ESource* s = current.get();
            if (e_source_has_extension(s, E_SOURCE_EXTENSION_WEBDAV_BACKEND)) {
                auto* ext =
                    E_SOURCE_WEBDAV(e_source_get_extension(s, E_SOURCE_EXTENSION_WEBDAV_BACKEND));
                if (looksLikeAddress(e_source_webdav_get_email_address(ext)))
                    out.push_back(e_source_webdav_get_email_address(ext));
            }
            if (e_source_has_extension(s, E_SOURCE_EXTENSION_AUTHENTICATION)) {
                auto* ext = E_SOURCE_AUTHENTICATION(
                    e_source_get_extension(s, E_SOURCE_EXTENSION_AUTHENTICATION));
                if (looksLikeAddress(e_source_authentication_get_user(ext)))
                    out.push_back(e_source_authentication_get_user(ext));
            }
            if (e_source_has_extension(s, E_SOURCE_EXTENSION_COLLECTION)) {
                auto* ext =
                    E_SOURCE_COLLECTION(e_source_get_extension(s, E_SOURCE_EXTENSION_COLLECTION));
                if (looksLikeAddress(e_source_collection_get_identity(ext)))
                    out.push_back(e_source_collection_get_identity(ext));
            }
            if (e_source_has_extension(s, E_SOURCE_EXTENSION_GOA)) {
                auto* ext = E_SOURCE_GOA(e_source_get_extension(s, E_SOURCE_EXTENSION_GOA));
                if (looksLikeAddress(e_source_goa_get_address(ext)))
                    out.push_back(e_source_goa_get_address(ext));
            }
            current = ref(e_source_get_parent(s));
        }
        const std::string account = accountUid(source);
        std::vector<std::string> sameAccount;
        std::vector<std::string> all;
        GList* identities =
            e_source_registry_list_enabled(registry.get(), E_SOURCE_EXTENSION_MAIL_IDENTITY);
        for (GList* l = identities; l; l = l->next) {
            auto* s = static_cast<ESource*>(l->data);
            auto* ext =
                E_SOURCE_MAIL_IDENTITY(e_source_get_extension(s, E_SOURCE_EXTENSION_MAIL_IDENTITY));
            const char* address = e_source_mail_identity_get_address(ext);
            if (!looksLikeAddress(address)) continue;
            all.push_back(address);
            if (accountUid(s) == account) sameAccount.push_back(address);
        }
        g_list_free_full(identities, g_object_unref);
        out.insert(out.end(), sameAccount.begin(), sameAccount.end());
        if (out.empty()) out = all;
        return out;
    }

    CalendarSource describe(ESource* source) const {
        CalendarSource c;
        c.identifier = str(e_source_get_uid(source));
        c.title = str(e_source_get_display_name(source));
        if (GObjectPtr<ESource> parent = ref(e_source_get_parent(source))) {
            c.sourceTitle = str(e_source_get_display_name(parent.get()));
        }
        auto* selectable =
            E_SOURCE_SELECTABLE(e_source_get_extension(source, E_SOURCE_EXTENSION_CALENDAR));
        c.colorComponents = parseCalendarColor(str(e_source_selectable_get_color(selectable)));
        // Until its client is connected a calendar counts as writable.
        auto it = connected.find(c.identifier);
        if (it != connected.end() && it->second.client) {
            c.allowsContentModifications = !e_client_is_readonly(E_CLIENT(it->second.client.get()));
        }
        return c;
    }

    void connectCalendar(ESource* source) {
        const std::string uid = str(e_source_get_uid(source));
        if (connected.count(uid) || pendingConnects.count(uid)) return;
        pendingConnects.insert(uid);
        // An unlimited wait: the answer comes when the backend is up, and nobody waits on it.
        e_cal_client_connect(source, E_CAL_CLIENT_SOURCE_TYPE_EVENTS, static_cast<guint32>(-1),
                             cancellable, &onClientConnected, new Guard{q, uid});
    }

    void disconnectCalendar(const std::string& uid) {
        pendingConnects.erase(uid);
        auto it = connected.find(uid);
        if (it == connected.end()) return;
        dropView(it->second);
        connected.erase(it);
    }

    static void onRegistryReady(GObject*, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Guard> guard(static_cast<Guard*>(data));
        GError* error = nullptr;
        ESourceRegistry* registry = e_source_registry_new_finish(result, &error);
        if (!guard->store) {
            if (registry) g_object_unref(registry);
            g_clear_error(&error);
            return;
        }
        Private* d = guard->store->d_.get();
        if (!registry) {
            g_clear_error(&error);
            d->finishAccess(false);
            return;
        }
        d->registry = GObjectPtr<ESourceRegistry>(registry);
        // A registry without the service behind it opens empty: ask the bus who owns the name.
        GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, d->cancellable, nullptr);
        if (!bus) {
            d->registry = {};
            d->finishAccess(false);
            return;
        }
        g_dbus_connection_call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                               "org.freedesktop.DBus", "NameHasOwner",
                               g_variant_new("(s)", kRegistryBusName), G_VARIANT_TYPE("(b)"),
                               G_DBUS_CALL_FLAGS_NONE, -1, d->cancellable, &onOwnerChecked,
                               new Guard{guard->store, {}});
        g_object_unref(bus);
    }

    static void onOwnerChecked(GObject* bus, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Guard> guard(static_cast<Guard*>(data));
        GError* error = nullptr;
        GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
        gboolean owned = FALSE;
        if (reply) {
            g_variant_get(reply, "(b)", &owned);
            g_variant_unref(reply);
        }
        g_clear_error(&error);
        if (!guard->store) return;
        Private* d = guard->store->d_.get();
        if (!owned) {
            d->registry = {};
            d->finishAccess(false);
            return;
        }
        ESourceRegistry* r = d->registry.get();
        for (const char* name : {"source-added", "source-changed", "source-removed",
                                 "source-enabled", "source-disabled"}) {
            d->registryHandlers.push_back(g_signal_connect(r, name, G_CALLBACK(&onSourceEvent), d));
        }
        for (const auto& source : d->enabledCalendars()) d->connectCalendar(source.get());
        d->finishAccess(true);
    }

    static void onSourceEvent(ESourceRegistry*, ESource* source, gpointer data) {
        auto* d = static_cast<Private*>(data);
        if (!e_source_has_extension(source, E_SOURCE_EXTENSION_CALENDAR)) {
            // A renamed account renames its calendars' account title.
            d->scheduleChanged();
            return;
        }
        const std::string uid = str(e_source_get_uid(source));
        GObjectPtr<ESource> known = d->ref(uid.c_str());
        if (known && e_source_registry_check_enabled(d->registry.get(), source)) {
            d->connectCalendar(source);
        } else {
            d->disconnectCalendar(uid);
        }
        d->scheduleChanged();
    }

    static void onClientConnected(GObject*, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Guard> guard(static_cast<Guard*>(data));
        GError* error = nullptr;
        EClient* client = e_cal_client_connect_finish(result, &error);
        g_clear_error(&error);
        if (!guard->store) {
            if (client) g_object_unref(client);
            return;
        }
        Private* d = guard->store->d_.get();
        if (!d->pendingConnects.erase(guard->uid)) {
            // Removed while connecting.
            if (client) g_object_unref(client);
            return;
        }
        if (!client) return;
        Calendar& cal = d->connected[guard->uid];
        cal.client = GObjectPtr<ECalClient>(E_CAL_CLIENT(client));
        e_cal_client_get_view(cal.client.get(), "#t", d->cancellable, &onViewReady,
                              new Guard{guard->store, guard->uid});
        d->scheduleChanged();
    }

    static void onViewReady(GObject* client, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Guard> guard(static_cast<Guard*>(data));
        GError* error = nullptr;
        ECalClientView* view = nullptr;
        if (!e_cal_client_get_view_finish(E_CAL_CLIENT(client), result, &view, &error)) {
            g_clear_error(&error);
            return;
        }
        if (!guard->store) {
            g_object_unref(view);
            return;
        }
        Private* d = guard->store->d_.get();
        auto it = d->connected.find(guard->uid);
        if (it == d->connected.end() || it->second.client.get() != E_CAL_CLIENT(client)) {
            g_object_unref(view);
            return;
        }
        it->second.view = GObjectPtr<ECalClientView>(view);
        // Only changes matter: the existing objects are read by queries.
        e_cal_client_view_set_flags(view, E_CAL_CLIENT_VIEW_FLAGS_NONE, nullptr);
        for (const char* name : {"objects-added", "objects-modified", "objects-removed"}) {
            g_signal_connect(view, name, G_CALLBACK(&onViewChanged), d);
        }
        e_cal_client_view_start(view, &error);
        g_clear_error(&error);
    }

    static void onViewChanged(ECalClientView*, gpointer, gpointer data) {
        static_cast<Private*>(data)->scheduleChanged();
    }
};

namespace {

struct Job {
    GObjectPtr<ECalClient> client;
    CalendarICalContext context;
};

struct Collect {
    const CalendarICalContext* context;
    icaltimezone* zone;
    std::vector<CalendarEvent>* out;
};

gboolean collectInstance(ICalComponent* comp, ICalTime* start, ICalTime* end, gpointer data,
                         GCancellable*, GError**) {
    auto* c = static_cast<Collect*>(data);
    auto* native = static_cast<icalcomponent*>(i_cal_object_get_native(I_CAL_OBJECT(comp)));
    auto* s = static_cast<icaltimetype*>(i_cal_object_get_native(I_CAL_OBJECT(start)));
    auto* e = static_cast<icaltimetype*>(i_cal_object_get_native(I_CAL_OBJECT(end)));
    if (!native || !s || !e) return TRUE;
    const CalendarOccurrence occurrence{calendarTimePoint(*s, c->zone),
                                        calendarTimePoint(*e, c->zone)};
    c->out->push_back(calendarEventFromICal(native, *c->context, occurrence));
    return TRUE;
}

}  // namespace

EdsCalendarStore::EdsCalendarStore(QObject* parent)
    : CalendarStore(parent), d_(std::make_unique<Private>(this)) {}

EdsCalendarStore::~EdsCalendarStore() = default;

CalendarStore::Authorization EdsCalendarStore::authorization() const {
    return d_->authorization;
}

void EdsCalendarStore::requestAccess(AccessCallback done) {
    if (d_->authorization == Authorization::granted && d_->registry) {
        QTimer::singleShot(0, this, [done = std::move(done)] { done(true); });
        return;
    }
    d_->waiting.push_back(std::move(done));
    if (d_->connecting) return;
    d_->connecting = true;
    e_source_registry_new(d_->cancellable, &Private::onRegistryReady, new Guard{this, {}});
}

std::vector<CalendarSource> EdsCalendarStore::calendars() const {
    std::vector<CalendarSource> out;
    if (d_->authorization != Authorization::granted) return out;
    for (const auto& source : d_->enabledCalendars()) out.push_back(d_->describe(source.get()));
    return out;
}

void EdsCalendarStore::fetchEvents(std::chrono::system_clock::time_point from,
                                   std::chrono::system_clock::time_point to,
                                   std::optional<std::vector<std::string>> calendarIdentifiers,
                                   EventsCallback done) {
    std::vector<Job> jobs;
    if (d_->authorization == Authorization::granted) {
        icaltimezone* zone = systemICalTimeZone();
        // The service's own zone helper ignores $TZ: hand it the process's zone. The zone is
        // one of libical's built-in zones, which libical owns: the wrapper must not free it.
        auto* wrapped = static_cast<ICalTimezone*>(
            i_cal_object_construct(I_CAL_TYPE_TIMEZONE, zone, nullptr, FALSE, nullptr));
        for (const auto& source : d_->enabledCalendars()) {
            const std::string uid = str(e_source_get_uid(source.get()));
            if (calendarIdentifiers &&
                std::find(calendarIdentifiers->begin(), calendarIdentifiers->end(), uid) ==
                    calendarIdentifiers->end()) {
                continue;
            }
            auto it = d_->connected.find(uid);
            if (it == d_->connected.end() || !it->second.client) continue;
            if (it->second.zone != zone) {
                e_cal_client_set_default_timezone(it->second.client.get(), wrapped);
                it->second.zone = zone;
            }
            CalendarSource described = d_->describe(source.get());
            jobs.push_back(Job{
                it->second.client,
                CalendarICalContext{uid, described.title, d_->userAddresses(source.get()), zone}});
        }
        g_object_unref(wrapped);
    }
    if (jobs.empty()) {
        done({});
        return;
    }
    GCancellable* cancellable = static_cast<GCancellable*>(g_object_ref(d_->cancellable));
    QPointer<EdsCalendarStore> self(this);
    const time_t start = std::chrono::system_clock::to_time_t(from);
    const time_t end = std::chrono::system_clock::to_time_t(to);
    d_->pool.start(
        [jobs = std::move(jobs), start, end, cancellable, self, done = std::move(done)]() mutable {
            auto events = std::make_shared<std::vector<CalendarEvent>>();
            for (const Job& job : jobs) {
                Collect collect{&job.context, job.context.defaultZone, events.get()};
                e_cal_client_generate_instances_sync(job.client.get(), start, end, cancellable,
                                                     &collectInstance, &collect);
            }
            // Client references are let go on the main thread, where the clients live.
            auto keep = std::make_shared<std::vector<Job>>(std::move(jobs));
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [keep, events, cancellable, self, done = std::move(done)] {
                    g_object_unref(cancellable);
                    keep->clear();
                    if (self) done(std::move(*events));
                },
                Qt::QueuedConnection);
        });
}

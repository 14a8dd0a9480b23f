#include "platform/SecretStore.h"

#include <libsecret/secret.h>

namespace {

const SecretSchema* schema() {
    static const SecretSchema s = [] {
        SecretSchema v{};
        v.name = "jp.brindel.tavro.Secret";
        v.flags = SECRET_SCHEMA_NONE;
        v.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        v.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return v;
    }();
    return &s;
}

// Owning handles for the GLib objects used here.
template <typename T, void (*Free)(T*)>
struct Owned {
    T* p = nullptr;
    explicit Owned(T* raw = nullptr) : p(raw) {}
    ~Owned() {
        if (p) Free(p);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& o) noexcept : p(o.p) { o.p = nullptr; }
    explicit operator bool() const { return p != nullptr; }
};

template <typename T>
void unref(T* o) {
    g_object_unref(o);
}
void freeValue(SecretValue* v) {
    secret_value_unref(v);
}
void freeItems(GList* l) {
    g_list_free_full(l, g_object_unref);
}

using ServicePtr = Owned<SecretService, unref<SecretService>>;
using CollectionPtr = Owned<SecretCollection, unref<SecretCollection>>;
using ItemPtr = Owned<SecretItem, unref<SecretItem>>;
using ItemList = Owned<GList, freeItems>;
using Attributes = Owned<GHashTable, g_hash_table_unref>;
using Value = Owned<SecretValue, freeValue>;

// A libsecret error, dropped unread: callers only need to know whether a call worked.
struct Error {
    GError* e = nullptr;
    ~Error() {
        if (e) g_error_free(e);
    }
    GError** out() { return &e; }
    explicit operator bool() const { return e != nullptr; }
};

ServicePtr connect() {
    Error error;
    return ServicePtr(secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, error.out()));
}

Attributes attributes(const std::string& service, const std::string& account) {
    return Attributes(secret_attributes_build(schema(), "service", service.c_str(), "account",
                                              account.c_str(), nullptr));
}

// The items named so, in every collection. Locked items are found but not unlocked. Nullopt
// when the search worked; else why not.
std::optional<SecretStore::Failure> search(SecretService* svc, GHashTable* attrs,
                                           SecretSearchFlags flags, ItemList& found) {
    Error error;
    found.p = secret_service_search_sync(svc, schema(), attrs, flags, nullptr, error.out());
    if (!error) return std::nullopt;
    // A bus without the service answers for it.
    const bool absent = g_error_matches(error.e, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
                        g_error_matches(error.e, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER);
    return absent ? SecretStore::Failure::noService : SecretStore::Failure::refused;
}

// Says why, for the caller that asked, and gives false.
bool failed(SecretStore::Failure* why, SecretStore::Failure failure) {
    if (why) *why = failure;
    return false;
}

}  // namespace

std::optional<std::string> SecretStore::read(const std::string& service,
                                             const std::string& account) {
    ServicePtr svc = connect();
    if (!svc) return std::nullopt;
    Attributes attrs = attributes(service, account);
    ItemList items;
    if (search(svc.p, attrs.p, SECRET_SEARCH_LOAD_SECRETS, items).has_value() || !items)
        return std::nullopt;
    Value value(secret_item_get_secret(static_cast<SecretItem*>(items.p->data)));
    if (!value) return std::nullopt;  // locked
    gsize length = 0;
    const gchar* bytes = secret_value_get(value.p, &length);
    return std::string(bytes, length);
}

bool SecretStore::write(const std::string& service, const std::string& account,
                        std::string_view value, const std::string& label, Failure* why) {
    ServicePtr svc = connect();
    if (!svc) return failed(why, Failure::noService);
    Attributes attrs = attributes(service, account);
    ItemList items;
    if (auto f = search(svc.p, attrs.p, SECRET_SEARCH_ALL, items)) return failed(why, *f);
    Value secret(secret_value_new(value.data(), static_cast<gssize>(value.size()), "text/plain"));

    if (items) {
        // Updated in place: the item keeps its identity, and a stray duplicate cannot keep an
        // old value that a later read might pick.
        std::optional<Failure> failure;
        for (GList* l = items.p; l; l = l->next) {
            auto* item = static_cast<SecretItem*>(l->data);
            Error error;
            if (secret_item_get_locked(item))
                failure = Failure::locked;
            else if (!secret_item_set_secret_sync(item, secret.p, nullptr, error.out()))
                failure = Failure::refused;
        }
        return failure ? failed(why, *failure) : true;
    }

    // A new item goes into the default collection, and only when it is there and unlocked;
    // otherwise libsecret would prompt to create or unlock it.
    Error error;
    CollectionPtr collection(secret_collection_for_alias_sync(
        svc.p, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, error.out()));
    if (!collection) return failed(why, error ? Failure::refused : Failure::noKeyring);
    if (secret_collection_get_locked(collection.p)) return failed(why, Failure::locked);
    ItemPtr created(secret_item_create_sync(collection.p, schema(), attrs.p, label.c_str(),
                                            secret.p, SECRET_ITEM_CREATE_NONE, nullptr,
                                            error.out()));
    return created ? true : failed(why, Failure::refused);
}

bool SecretStore::remove(const std::string& service, const std::string& account, Failure* why) {
    ServicePtr svc = connect();
    if (!svc) return failed(why, Failure::noService);
    Attributes attrs = attributes(service, account);
    ItemList items;
    if (auto f = search(svc.p, attrs.p, SECRET_SEARCH_ALL, items)) return failed(why, *f);
    bool ok = true;
    for (GList* l = items.p; l; l = l->next) {
        Error error;
        if (!secret_item_delete_sync(static_cast<SecretItem*>(l->data), nullptr, error.out()))
            ok = false;
    }
    return ok ? true : failed(why, Failure::refused);
}

bool SecretStore::available() {
    ServicePtr svc = connect();
    if (!svc) return false;
    gchar* owner = g_dbus_proxy_get_name_owner(G_DBUS_PROXY(svc.p));
    const bool answered = owner != nullptr;
    g_free(owner);
    return answered;
}

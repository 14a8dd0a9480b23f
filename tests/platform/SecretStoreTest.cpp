// The secret store against the real keyring on the private session bus.
#include <libsecret/secret.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "platform/SecretStore.h"
#include "support/TestEnv.h"

namespace {

// Test processes share one keyring, so names carry the pid.
std::string unique(const char* name) {
    return std::string(name) + "-" + std::to_string(getpid());
}

// The store's own schema, so that these calls see exactly the items it would.
const SecretSchema* schema() {
    static const SecretSchema s = [] {
        SecretSchema v{};
        v.name = "jp.brindel.tavro.Secret";
        v.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        v.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return v;
    }();
    return &s;
}

// Every item with these attributes, whoever wrote it and in whatever form.
int itemCount(const std::string& service, const std::string& account) {
    GHashTable* attrs = secret_attributes_build(schema(), "service", service.c_str(), "account",
                                                account.c_str(), nullptr);
    GList* items =
        secret_service_search_sync(nullptr, schema(), attrs, SECRET_SEARCH_ALL, nullptr, nullptr);
    const int count = static_cast<int>(g_list_length(items));
    g_list_free_full(items, g_object_unref);
    g_hash_table_unref(attrs);
    return count;
}

// An item as another writer might leave it, in the given collection and content type.
bool storeRaw(const char* collection, const std::string& service, const char* bytes,
              const char* contentType) {
    SecretValue* value = secret_value_new(bytes, -1, contentType);
    const bool ok =
        secret_password_store_binary_sync(schema(), collection, "raw", value, nullptr, nullptr,
                                          "service", service.c_str(), "account", "token", nullptr);
    secret_value_unref(value);
    return ok;
}

GVariant* keyringCall(const char* interface, const char* method, GVariant* args) {
    // One connection throughout: the keyring ends a session when its connection closes.
    static GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    return g_dbus_connection_call_sync(bus, "org.freedesktop.secrets", "/org/freedesktop/secrets",
                                       interface, method, args, nullptr, G_DBUS_CALL_FLAGS_NONE,
                                       5000, nullptr, nullptr);
}

// A collection that only this test uses, made without a prompt through gnome-keyring's test
// interface, so that it can be locked without disturbing other tests. It is left behind in the
// test environment's throwaway keyring.
std::string lockableCollection() {
    GVariant* opened = keyringCall("org.freedesktop.Secret.Service", "OpenSession",
                                   g_variant_new_parsed("('plain', <''>)"));
    if (!opened) return {};
    gchar* path = nullptr;
    g_variant_get(opened, "(vo)", nullptr, &path);
    g_variant_unref(opened);
    GVariant* made = keyringCall(
        "org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface", "CreateWithMasterPassword",
        g_variant_new_parsed("({'org.freedesktop.Secret.Collection.Label': <%s>}, "
                             "(%o, @ay [], [byte 0x70, 0x77], 'text/plain'))",
                             unique("locked").c_str(), path));
    g_free(path);
    if (!made) return {};
    g_variant_get(made, "(o)", &path);
    g_variant_unref(made);
    std::string result(path);
    g_free(path);
    return result;
}

TEST(SecretStore, StoresReplacesAndRemovesOneItem) {
    TAVRO_REQUIRE_ENV("secret service", testsupport::probeSecretService());
    const std::string service = unique("jp.brindel.tavro.test");
    const std::string other = unique("jp.brindel.tavro.other");
    EXPECT_TRUE(SecretStore::available());
    EXPECT_EQ(SecretStore::read(service, "token"), std::nullopt);
    EXPECT_TRUE(SecretStore::remove(service, "token"));  // nothing to remove is fine

    // Each write leaves exactly one item with the last value, bytes kept as they are; a binary
    // item that another writer left is replaced, not joined by a second one.
    ASSERT_TRUE(storeRaw(SECRET_COLLECTION_DEFAULT, service, "old", "application/x-bin"));
    for (const std::string& value : {std::string("pat-1"), std::string("\xff\x00\xfe", 3)}) {
        ASSERT_TRUE(SecretStore::write(service, "token", value, "TAVRO test"));
        EXPECT_EQ(SecretStore::read(service, "token"), value);
        EXPECT_EQ(itemCount(service, "token"), 1);
    }

    // The same account under another service is a different secret, in both directions.
    ASSERT_TRUE(SecretStore::write(other, "token", "foreign", "TAVRO test"));
    EXPECT_EQ(SecretStore::read(service, "token"), std::string("\xff\x00\xfe", 3));
    EXPECT_TRUE(SecretStore::remove(service, "token"));
    EXPECT_EQ(itemCount(service, "token"), 0);
    EXPECT_EQ(SecretStore::read(other, "token"), "foreign");
    EXPECT_TRUE(SecretStore::remove(other, "token"));
}

TEST(SecretStore, ALockedItemIsNeitherReadNorWritten) {
    TAVRO_REQUIRE_ENV("secret service", testsupport::probeSecretService());
    const std::string collection = lockableCollection();
    ASSERT_FALSE(collection.empty());
    const std::string service = unique("jp.brindel.tavro.locked");
    ASSERT_TRUE(storeRaw(collection.c_str(), service, "kept", "text/plain"));
    ASSERT_EQ(SecretStore::read(service, "token"), "kept");

    const char* paths[] = {collection.c_str(), nullptr};
    GVariant* locked = keyringCall("org.freedesktop.Secret.Service", "Lock",
                                   g_variant_new("(^ao)", const_cast<char**>(paths)));
    ASSERT_TRUE(locked);
    g_variant_unref(locked);
    EXPECT_EQ(SecretStore::read(service, "token"), std::nullopt);
    EXPECT_FALSE(SecretStore::write(service, "token", "new", "TAVRO test"));
}

TEST(SecretStoreDeathTest, WithoutASecretServiceNothingIsStoredAnywhere) {
    // In a fresh process, so that no connection made by another test is reused.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tavro-bus", 1);
            const bool quiet = !SecretStore::available() &&
                               !SecretStore::write("s", "a", "v", "l") &&
                               !SecretStore::read("s", "a") && !SecretStore::remove("s", "a");
            std::_Exit(quiet ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace

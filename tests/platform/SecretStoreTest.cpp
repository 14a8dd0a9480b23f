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

// Every item with these attributes, whoever wrote it and in whatever form.
int itemCount(const std::string& service, const std::string& account) {
    GHashTable* attrs = g_hash_table_new(g_str_hash, g_str_equal);
    g_hash_table_insert(attrs, const_cast<char*>("service"), const_cast<char*>(service.c_str()));
    g_hash_table_insert(attrs, const_cast<char*>("account"), const_cast<char*>(account.c_str()));
    SecretService* svc = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, nullptr);
    GList* items =
        secret_service_search_sync(svc, nullptr, attrs, SECRET_SEARCH_ALL, nullptr, nullptr);
    const int count = static_cast<int>(g_list_length(items));
    g_list_free_full(items, g_object_unref);
    g_object_unref(svc);
    g_hash_table_unref(attrs);
    return count;
}

// An item in the binary form another writer might leave, under the store's own schema.
bool storeBinary(const std::string& service, const std::string& account, const char* bytes) {
    SecretSchema schema{};
    schema.name = "jp.brindel.tavro.Secret";
    schema.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
    schema.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
    SecretValue* value = secret_value_new(bytes, -1, "application/octet-stream");
    const bool ok = secret_password_store_binary_sync(
        &schema, SECRET_COLLECTION_DEFAULT, "binary", value, nullptr, nullptr, "service",
        service.c_str(), "account", account.c_str(), nullptr);
    secret_value_unref(value);
    return ok;
}

// A collection of its own, made and unlocked through gnome-keyring's test interface with a known
// password, so that it can be locked without touching the keyring that other tests use.
class OwnCollection {
public:
    OwnCollection() {
        bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        GVariant* session = call("org.freedesktop.Secret.Service", "OpenSession",
                                 g_variant_new("(sv)", "plain", g_variant_new_string("")));
        if (!session) return;
        g_variant_get(session, "(vo)", nullptr, &session_);
        g_variant_unref(session);
        GVariantBuilder props;
        g_variant_builder_init(&props, G_VARIANT_TYPE("a{sv}"));
        const std::string label = unique("tavro locked test");
        g_variant_builder_add(&props, "{sv}", "org.freedesktop.Secret.Collection.Label",
                              g_variant_new_string(label.c_str()));
        GVariant* made =
            call("org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface",
                 "CreateWithMasterPassword", g_variant_new("(a{sv}@(oayays))", &props, master()));
        if (!made) return;
        g_variant_get(made, "(o)", &path_);
        g_variant_unref(made);
    }
    ~OwnCollection() {
        if (path_) {
            unlock();
            g_dbus_connection_call_sync(bus_, "org.freedesktop.secrets", path_,
                                        "org.freedesktop.Secret.Collection", "Delete", nullptr,
                                        nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
        }
        g_free(path_);
        g_free(session_);
        if (bus_) g_object_unref(bus_);
    }
    const char* path() const { return path_; }

    bool store(const std::string& service, const std::string& account, const char* value) {
        SecretSchema schema{};
        schema.name = "jp.brindel.tavro.Secret";
        schema.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        schema.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return secret_password_store_sync(&schema, path_, "locked test", value, nullptr, nullptr,
                                          "service", service.c_str(), "account", account.c_str(),
                                          nullptr);
    }
    bool lock() {
        const char* paths[] = {path_, nullptr};
        GVariant* r = call("org.freedesktop.Secret.Service", "Lock",
                           g_variant_new("(^ao)", const_cast<char**>(paths)));
        if (r) g_variant_unref(r);
        return r != nullptr;
    }
    bool unlock() {
        GVariant* r =
            call("org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface",
                 "UnlockWithMasterPassword", g_variant_new("(o@(oayays))", path_, master()));
        if (r) g_variant_unref(r);
        return r != nullptr;
    }

private:
    GVariant* master() {
        static const char pw[] = "locked-test";
        return g_variant_new(
            "(o@ay@ays)", session_, g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, "", 0, 1),
            g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, pw, sizeof pw - 1, 1), "text/plain");
    }
    GVariant* call(const char* interface, const char* method, GVariant* args) {
        if (!bus_) return nullptr;
        return g_dbus_connection_call_sync(bus_, "org.freedesktop.secrets",
                                           "/org/freedesktop/secrets", interface, method, args,
                                           nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    }

    GDBusConnection* bus_ = nullptr;
    char* session_ = nullptr;
    char* path_ = nullptr;
};

TEST(SecretStore, StoresReplacesAndRemovesOneItem) {
    TAVRO_REQUIRE_ENV("secret service", testsupport::probeSecretService());
    const std::string service = unique("jp.brindel.tavro.test");
    const std::string other = unique("jp.brindel.tavro.other");
    const std::string account = "hubspotToken";
    EXPECT_TRUE(SecretStore::available());

    EXPECT_EQ(SecretStore::read(service, account), std::nullopt);
    EXPECT_TRUE(SecretStore::remove(service, account));  // nothing to remove is fine

    // Each write leaves exactly one item with the last value, bytes kept as they are.
    for (const std::string& value :
         {std::string("pat-1"), std::string("pat-2 置き換え"), std::string("\xff\x00\xfe", 3)}) {
        SCOPED_TRACE(value);
        ASSERT_TRUE(SecretStore::write(service, account, value, "TAVRO test"));
        EXPECT_EQ(SecretStore::read(service, account), value);
        EXPECT_EQ(itemCount(service, account), 1);
    }

    // The same account under another service is a different secret, in both directions.
    ASSERT_TRUE(SecretStore::write(other, account, "foreign", "TAVRO test"));
    EXPECT_EQ(SecretStore::read(service, account), std::string("\xff\x00\xfe", 3));
    EXPECT_TRUE(SecretStore::remove(service, account));
    EXPECT_EQ(SecretStore::read(service, account), std::nullopt);
    EXPECT_EQ(itemCount(service, account), 0);
    EXPECT_EQ(SecretStore::read(other, account), "foreign");
    EXPECT_TRUE(SecretStore::remove(other, account));
}

TEST(SecretStore, TextWriteOverABinaryItemLeavesOneItem) {
    TAVRO_REQUIRE_ENV("secret service", testsupport::probeSecretService());
    const std::string service = unique("jp.brindel.tavro.binary");
    ASSERT_TRUE(storeBinary(service, "zapierSigningSecret", "old"));
    ASSERT_TRUE(SecretStore::write(service, "zapierSigningSecret", "new", "TAVRO test"));
    EXPECT_EQ(itemCount(service, "zapierSigningSecret"), 1);
    EXPECT_EQ(SecretStore::read(service, "zapierSigningSecret"), "new");
    EXPECT_TRUE(SecretStore::remove(service, "zapierSigningSecret"));
}

TEST(SecretStore, ALockedItemIsNeitherReadNorWrittenAndNothingPrompts) {
    TAVRO_REQUIRE_ENV("secret service", testsupport::probeSecretService());
    OwnCollection collection;
    ASSERT_TRUE(collection.path());
    const std::string service = unique("jp.brindel.tavro.locked");
    ASSERT_TRUE(collection.store(service, "hubspotToken", "kept"));
    ASSERT_EQ(SecretStore::read(service, "hubspotToken"), "kept");

    ASSERT_TRUE(collection.lock());
    EXPECT_EQ(SecretStore::read(service, "hubspotToken"), std::nullopt);
    EXPECT_FALSE(SecretStore::write(service, "hubspotToken", "new", "TAVRO test"));

    ASSERT_TRUE(collection.unlock());
    EXPECT_EQ(SecretStore::read(service, "hubspotToken"), "kept");
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

// The keyring: secrets stored through libsecret under (service, account) come back, an update
// replaces the old value, and a cleared secret is gone.
#include <libsecret/secret.h>

#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "support/TestEnv.h"

namespace {

const SecretSchema* schema() {
    static const SecretSchema s = [] {
        SecretSchema v{};
        v.name = "org.tavro.Test";
        v.flags = SECRET_SCHEMA_NONE;
        v.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        v.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return v;
    }();
    return &s;
}

// Accounts carry the pid: test processes share one keyring.
std::string account(const char* name) {
    return std::string(name) + "-" + std::to_string(getpid());
}

bool store(const std::string& acct, const char* secret, std::string* error) {
    GError* err = nullptr;
    const bool ok = secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, "tavro test",
                                               secret, nullptr, &err, "service", "tavro.test",
                                               "account", acct.c_str(), nullptr);
    if (err) {
        *error = err->message;
        g_error_free(err);
    }
    return ok;
}

// nullopt-like: returns false when absent or on error.
bool lookup(const std::string& acct, std::string* out, std::string* error) {
    GError* err = nullptr;
    gchar* value = secret_password_lookup_sync(schema(), nullptr, &err, "service", "tavro.test",
                                               "account", acct.c_str(), nullptr);
    if (err) {
        *error = err->message;
        g_error_free(err);
    }
    if (!value) return false;
    *out = value;
    secret_password_free(value);
    return true;
}

void clear(const std::string& acct) {
    secret_password_clear_sync(schema(), nullptr, nullptr, "service", "tavro.test", "account",
                               acct.c_str(), nullptr);
}

struct SecretCase {
    const char* account;
    const char* first;
    const char* second;
};

TEST(Keyring, StoresReplacesAndClearsSecrets) {
    TAVRO_REQUIRE_ENV("keyring (org.freedesktop.secrets)", testsupport::probeSecretService());
    const SecretCase cases[] = {
        {"token", "tk_live_0123456789abcdef", "tk_live_fedcba9876543210"},
        {"unicode", "pässwörd 会議 🎙", "x"},
        {"long", "a-very-long-refresh-token-that-goes-on-and-on-and-on-for-a-while-0123456789",
         "short"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.account);
        const std::string acct = account(c.account);
        std::string error, value;
        ASSERT_TRUE(store(acct, c.first, &error)) << error;
        ASSERT_TRUE(lookup(acct, &value, &error)) << error;
        EXPECT_EQ(value, c.first);

        ASSERT_TRUE(store(acct, c.second, &error)) << error;
        ASSERT_TRUE(lookup(acct, &value, &error)) << error;
        EXPECT_EQ(value, c.second);

        clear(acct);
        EXPECT_FALSE(lookup(acct, &value, &error)) << "still there after clearing: " << value;
        EXPECT_EQ(error, "");
    }
}

TEST(Keyring, AnotherAccountSeesNothing) {
    TAVRO_REQUIRE_ENV("keyring (org.freedesktop.secrets)", testsupport::probeSecretService());
    const std::string acct = account("owner");
    std::string error, value;
    ASSERT_TRUE(store(acct, "mine", &error)) << error;
    EXPECT_FALSE(lookup(account("stranger"), &value, &error));
    clear(acct);
}

}  // namespace

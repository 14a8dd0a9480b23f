// The app's secrets in the real keyring on the private session bus.
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "platform/SecretStore.h"
#include "service/SecureStore.h"
#include "support/TestEnv.h"

namespace {

// Test processes share one keyring, so accounts carry the pid.
std::string unique(const char* name) {
    return std::string(name) + ":" + std::to_string(getpid());
}

TEST(SecureStore, SecretsAsText) {
    TAVRO_REQUIRE_ENV("secret service", testsupport::probeSecretService());
    const std::string account = unique("sharePublicURL");

    EXPECT_EQ(SecureStore::read(account), "");
    EXPECT_TRUE(SecureStore::write("", account));  // nothing to clear is fine
    EXPECT_TRUE(SecureStore::remove(account));

    ASSERT_TRUE(SecureStore::write("https://tavro.brindel.jp/shared/abc", account));
    EXPECT_EQ(SecureStore::read(account), "https://tavro.brindel.jp/shared/abc");
    ASSERT_TRUE(SecureStore::write("https://tavro.brindel.jp/shared/def", account));
    EXPECT_EQ(SecureStore::read(account), "https://tavro.brindel.jp/shared/def");

    // An empty value clears the secret.
    EXPECT_TRUE(SecureStore::write("", account));
    EXPECT_EQ(SecretStore::read(SecureStore::kService, account), std::nullopt);

    // Bytes that are not UTF-8 are no secret at all to the callers.
    ASSERT_TRUE(SecretStore::write(SecureStore::kService, account, "tok\xc3\x28", "test"));
    EXPECT_EQ(SecureStore::read(account), "");
    EXPECT_TRUE(SecureStore::remove(account));
}

TEST(SecureStore, OtherServicesItemsAreNeverTouched) {
    TAVRO_REQUIRE_ENV("secret service", testsupport::probeSecretService());
    const std::string account = unique("hubspotToken");
    const std::string foreign = "org.example.other";
    ASSERT_TRUE(SecretStore::write(foreign, account, "theirs", "test"));

    EXPECT_EQ(SecureStore::read(account), "");
    ASSERT_TRUE(SecureStore::write("ours", account));
    EXPECT_TRUE(SecureStore::remove(account));
    EXPECT_EQ(SecretStore::read(foreign, account), "theirs");
    EXPECT_TRUE(SecretStore::remove(foreign, account));
}

}  // namespace

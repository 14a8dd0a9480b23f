// The app's secrets in the real keyring on the private session bus.
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "platform/SecretStore.h"
#include "service/SecureStore.h"
#include "support/TestEnv.h"

namespace {

TEST(SecureStore, SecretsAsTextUnderTheAppsOwnService) {
    TAVRO_REQUIRE_ENV("secret service", testsupport::probeSecretService());
    // Test processes share one keyring, so the account carries the pid.
    const std::string account = "sharePublicURL:" + std::to_string(getpid());
    const std::string foreign = "org.example.other";
    ASSERT_TRUE(SecretStore::write(foreign, account, "theirs", "test"));

    EXPECT_EQ(SecureStore::read(account), "");
    ASSERT_TRUE(SecureStore::write("https://a/shared/1", account));
    ASSERT_TRUE(SecureStore::write("https://a/shared/2", account));
    EXPECT_EQ(SecureStore::read(account), "https://a/shared/2");

    // An empty value clears the secret, and only ours.
    EXPECT_TRUE(SecureStore::write("", account));
    EXPECT_EQ(SecretStore::read(SecureStore::kService, account), std::nullopt);
    EXPECT_TRUE(SecureStore::write("", account));  // nothing to clear is fine

    // Bytes that are not UTF-8 are no secret at all to the callers.
    ASSERT_TRUE(SecretStore::write(SecureStore::kService, account, "tok\xc3\x28", "test"));
    EXPECT_EQ(SecureStore::read(account), "");
    EXPECT_TRUE(SecureStore::remove(account));
    EXPECT_EQ(SecretStore::read(foreign, account), "theirs");
    SecretStore::remove(foreign, account);
}

}  // namespace

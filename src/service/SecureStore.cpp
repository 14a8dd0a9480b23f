#include "service/SecureStore.h"

#include "platform/SecretStore.h"
#include "util/Text.h"

std::string SecureStore::read(const std::string& account) {
    std::optional<std::string> bytes = SecretStore::read(kService, account);
    if (!bytes || !text::isValidUtf8(*bytes)) return {};
    return *bytes;
}

bool SecureStore::write(const std::string& value, const std::string& account,
                        SecretStore::Failure* why) {
    if (value.empty()) return SecretStore::remove(kService, account, why);
    return SecretStore::write(kService, account, value, "TAVRO " + account, why);
}

bool SecureStore::remove(const std::string& account) {
    return SecretStore::remove(kService, account);
}

#pragma once
// The app's few secrets (integration credentials, public links of shared copies), kept in the
// desktop's Secret Service under one service name with the account naming the secret. Absent,
// unreadable and locked secrets all read as "", which every caller treats as "not set".
#include <string>

#include "platform/SecretStore.h"

class SecureStore {
public:
    SecureStore() = delete;

    static constexpr const char* kService = "jp.brindel.tavro.integrations";

    // The stored text; "" when there is none or it cannot be read as UTF-8 text.
    static std::string read(const std::string& account);
    // Stores `value`; an empty value removes the secret. True when stored (or nothing is left);
    // else `why` says what stood in the way.
    static bool write(const std::string& value, const std::string& account,
                      SecretStore::Failure* why = nullptr);
    // True when no secret is left afterwards. Named so because `delete` is a keyword.
    static bool remove(const std::string& account);
};

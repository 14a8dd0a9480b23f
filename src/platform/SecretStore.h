#pragma once
// Secrets in the desktop's Secret Service (libsecret), one item per (service, account). There
// is deliberately no plaintext fallback: without an unlocked Secret Service nothing is stored.
//
// All calls are synchronous and never prompt. A locked item reads as absent and cannot be
// written, because an unlock prompt would hold the caller until the user answers.
#include <optional>
#include <string>
#include <string_view>

class SecretStore {
public:
    SecretStore() = delete;

    // Why a write or a removal left things as they were.
    enum class Failure { noService, noKeyring, locked, refused };

    // The value of the item named (service, account); nullopt when there is none, when it is
    // locked, or when no Secret Service answers.
    static std::optional<std::string> read(const std::string& service, const std::string& account);

    // Replaces the value of the existing item, or adds one to the default collection. Values are
    // always stored as text items, so that a key never ends up with two items of two kinds.
    static bool write(const std::string& service, const std::string& account,
                      std::string_view value, const std::string& label, Failure* why = nullptr);

    // True when no item named so is left afterwards (also when there was none).
    static bool remove(const std::string& service, const std::string& account,
                       Failure* why = nullptr);

    // Whether a Secret Service answers on the session bus.
    static bool available();
};

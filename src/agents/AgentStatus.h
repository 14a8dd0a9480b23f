#pragma once
#include <optional>
#include <string>

// What is known of one agent tool. The default is a tool that is not installed.
struct AgentStatus {
    bool installed = false;
    bool loggedIn = false;
    // What to show for the account; only set while signed in.
    std::optional<std::string> account;

    bool operator==(const AgentStatus&) const = default;
};

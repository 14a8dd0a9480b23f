#pragma once
// The integrations that newly processed minutes are sent to automatically, and what is sent.
#include <functional>
#include <map>
#include <string>
#include <vector>

class UserDefaults;

struct ShareTarget {
    std::string label;                          // shown in the summary notification
    std::string target;                         // "target" of the share request
    std::map<std::string, std::string> config;  // "config" of the share request

    bool operator==(const ShareTarget&) const = default;
};

// Reads one secret by its account name; empty when it is not set.
using SecretReader = std::function<std::string(const std::string& account)>;

// The configured integrations in sending order (Notion, Slack, Discord, HubSpot, Salesforce,
// Zapier), each with the settings it needs, read at this moment.
std::vector<ShareTarget> collectShareTargets(const UserDefaults& defaults,
                                             const SecretReader& readSecret);

// "送信済み: A・B / 失敗: C", leaving out an empty part.
std::string shareSummary(const std::vector<std::string>& sent,
                         const std::vector<std::string>& failed);

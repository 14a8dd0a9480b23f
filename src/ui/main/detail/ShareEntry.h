#pragma once
// The integrations the share menu offers, whether each is set up, and the settings a share
// request carries. Read afresh each time, so that a change in the settings shows at once.
#include <map>
#include <string>
#include <vector>

#include "engine/ShareTarget.h"

class UserDefaults;

struct ShareEntry {
    std::string label;   // shown, and used in the status texts
    std::string target;  // sent to the service
    bool configured = false;

    // label + "へ送信" when configured, else label + " (未設定)".
    std::string title() const;

    bool operator==(const ShareEntry&) const = default;
};

// The six targets in menu order: Notion, Slack, Discord, HubSpot Note, Salesforce Task, Zapier.
std::vector<ShareEntry> shareEntries(const UserDefaults& defaults, const SecretReader& readSecret);

// All fourteen settings of every target, whatever the target; the service picks what it needs.
std::map<std::string, std::string> shareConfiguration(const UserDefaults& defaults,
                                                      const SecretReader& readSecret);

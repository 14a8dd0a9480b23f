#include "ui/main/detail/ShareEntry.h"

#include "util/UserDefaults.h"

namespace {

std::string setting(const UserDefaults& defaults, const char* key) {
    return defaults.stringValue(key).value_or("");
}

}  // namespace

std::string ShareEntry::title() const {
    return configured ? label + "へ送信" : label + " (未設定)";
}

std::vector<ShareEntry> shareEntries(const UserDefaults& defaults, const SecretReader& readSecret) {
    auto set = [&](const char* key) { return !setting(defaults, key).empty(); };
    auto secret = [&](const char* account) { return !readSecret(account).empty(); };
    return {
        {"Notion", "notion", set("notionToken") && set("notionParentId")},
        {"Slack", "slack", set("slackWebhook")},
        {"Discord", "discord", set("discordWebhook")},
        {"HubSpot Note", "hubspot", secret("hubspotToken") && set("hubspotObjectId")},
        {"Salesforce Task", "salesforce",
         secret("salesforceAccessToken") && set("salesforceInstanceUrl")},
        {"Zapier", "zapier", secret("zapierSigningSecret") && set("zapierWebhook")},
    };
}

std::map<std::string, std::string> shareConfiguration(const UserDefaults& defaults,
                                                      const SecretReader& readSecret) {
    auto s = [&](const char* key) { return setting(defaults, key); };
    return {
        {"notionToken", s("notionToken")},
        {"notionParentId", s("notionParentId")},
        {"slackWebhook", s("slackWebhook")},
        {"discordWebhook", s("discordWebhook")},
        {"hubspotToken", readSecret("hubspotToken")},
        {"hubspotObjectType", defaults.stringValue("hubspotObjectType").value_or("contact")},
        {"hubspotObjectId", s("hubspotObjectId")},
        {"salesforceAccessToken", readSecret("salesforceAccessToken")},
        {"salesforceInstanceUrl", s("salesforceInstanceUrl")},
        {"salesforceWhoId", s("salesforceWhoId")},
        {"salesforceWhatId", s("salesforceWhatId")},
        {"zapierWebhook", s("zapierWebhook")},
        {"zapierSigningSecret", readSecret("zapierSigningSecret")},
        {"zapierIncludeTranscript",
         defaults.boolOr("zapierIncludeTranscript", false) ? "true" : "false"},
    };
}

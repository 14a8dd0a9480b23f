#include "engine/ShareTarget.h"

#include <cctype>
#include <cstdint>

#include "util/UserDefaults.h"

namespace {

std::string joined(const std::vector<std::string>& items, const char* separator) {
    std::string out;
    for (const auto& item : items) {
        if (!out.empty()) out += separator;
        out += item;
    }
    return out;
}

// This one setting follows the settings store's loose Boolean reading: a number is true when
// non-zero, a text when it says "true"/"yes" or a non-zero number; anything else is false.
bool looseBool(const UserDefaults& defaults, const char* key) {
    const auto value = defaults.value(key);
    if (!value) return false;
    if (const auto* b = value->get<bool>()) return *b;
    if (const auto* i = value->get<std::int64_t>()) return *i != 0;
    if (const auto* d = value->get<double>()) return *d != 0;
    if (const auto* s = value->get<std::string>()) {
        std::string lower;
        for (char c : *s) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower == "true" || lower == "yes") return true;
        try {
            return std::stoll(lower) != 0;
        } catch (const std::exception&) {
            return false;
        }
    }
    return false;
}

}  // namespace

std::vector<ShareTarget> collectShareTargets(const UserDefaults& defaults,
                                             const SecretReader& readSecret) {
    auto setting = [&](const char* key) { return defaults.stringValue(key).value_or(""); };
    std::vector<ShareTarget> targets;

    const auto notionToken = setting("notionToken");
    const auto notionParent = setting("notionParentId");
    if (!notionToken.empty() && !notionParent.empty())
        targets.push_back(
            {"Notion", "notion", {{"notionToken", notionToken}, {"notionParentId", notionParent}}});

    if (const auto webhook = setting("slackWebhook"); !webhook.empty()) {
        ShareTarget slack{"Slack", "slack", {{"slackWebhook", webhook}}};
        const auto token = setting("slackToken");
        const auto channel = setting("slackChannelId");
        if (!token.empty() && !channel.empty()) {
            slack.config["slackToken"] = token;
            slack.config["slackChannelId"] = channel;
        }
        targets.push_back(std::move(slack));
    }

    if (const auto webhook = setting("discordWebhook"); !webhook.empty())
        targets.push_back({"Discord", "discord", {{"discordWebhook", webhook}}});

    const auto hubspotToken = readSecret("hubspotToken");
    const auto hubspotObject = setting("hubspotObjectId");
    if (!hubspotToken.empty() && !hubspotObject.empty())
        targets.push_back(
            {"HubSpot",
             "hubspot",
             {{"hubspotToken", hubspotToken},
              // Only an absent key means "contact"; a stored empty text is sent as it is.
              {"hubspotObjectType", defaults.stringValue("hubspotObjectType").value_or("contact")},
              {"hubspotObjectId", hubspotObject}}});

    const auto salesforceToken = readSecret("salesforceAccessToken");
    const auto salesforceUrl = setting("salesforceInstanceUrl");
    if (!salesforceToken.empty() && !salesforceUrl.empty())
        targets.push_back({"Salesforce",
                           "salesforce",
                           {{"salesforceAccessToken", salesforceToken},
                            {"salesforceInstanceUrl", salesforceUrl},
                            {"salesforceWhoId", setting("salesforceWhoId")},
                            {"salesforceWhatId", setting("salesforceWhatId")}}});

    const auto zapierSecret = readSecret("zapierSigningSecret");
    const auto zapierHook = setting("zapierWebhook");
    if (!zapierSecret.empty() && !zapierHook.empty())
        targets.push_back({"Zapier",
                           "zapier",
                           {{"zapierWebhook", zapierHook},
                            {"zapierSigningSecret", zapierSecret},
                            {"zapierIncludeTranscript",
                             looseBool(defaults, "zapierIncludeTranscript") ? "true" : "false"}}});
    return targets;
}

std::string shareSummary(const std::vector<std::string>& sent,
                         const std::vector<std::string>& failed) {
    std::vector<std::string> parts;
    if (!sent.empty()) parts.push_back("送信済み: " + joined(sent, "・"));
    if (!failed.empty()) parts.push_back("失敗: " + joined(failed, "・"));
    return joined(parts, " / ");
}

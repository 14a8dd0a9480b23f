#include <gtest/gtest.h>

#include "engine/ShareTarget.h"
#include "support/TempDir.h"
#include "util/UserDefaults.h"

namespace {

using Config = std::map<std::string, std::string>;

// Which integrations are configured, in their fixed order, with the settings each one is sent.
TEST(ShareTargets, AreCollectedInOrderWithTheirSettings) {
    struct Case {
        const char* name;
        std::map<std::string, DefaultsValue> settings;
        std::map<std::string, std::string> secrets;
        std::vector<ShareTarget> expected;
    };
    const Case cases[] = {
        {"nothing", {}, {}, {}},
        {"Slack webhook only",
         {{"slackWebhook", "https://hooks/s"}, {"slackToken", "t"}, {"slackChannelId", ""}},
         {},
         {{"Slack", "slack", Config{{"slackWebhook", "https://hooks/s"}}}}},
        {"Slack with bot",
         {{"slackWebhook", "w"}, {"slackToken", "t"}, {"slackChannelId", "C1"}},
         {},
         {{"Slack", "slack",
           Config{{"slackWebhook", "w"}, {"slackToken", "t"}, {"slackChannelId", "C1"}}}}},
        {"Notion needs both", {{"notionToken", "n"}}, {}, {}},
        {"HubSpot needs an object id", {{"hubspotObjectId", ""}}, {{"hubspotToken", "h"}}, {}},
        {"HubSpot type defaults only when absent",
         {{"hubspotObjectId", "42"}, {"hubspotObjectType", ""}},
         {{"hubspotToken", "h"}},
         {{"HubSpot", "hubspot",
           Config{{"hubspotToken", "h"}, {"hubspotObjectType", ""}, {"hubspotObjectId", "42"}}}}},
        {"HubSpot token only from the keyring",
         {{"hubspotObjectId", "42"}, {"hubspotToken", "in settings"}},
         {},
         {}},
        {"Salesforce ids sent empty",
         {{"salesforceInstanceUrl", "https://sf"}},
         {{"salesforceAccessToken", "s"}},
         {{"Salesforce", "salesforce",
           Config{{"salesforceAccessToken", "s"},
                  {"salesforceInstanceUrl", "https://sf"},
                  {"salesforceWhoId", ""},
                  {"salesforceWhatId", ""}}}}},
        {"Zapier transcript as a loose boolean",
         {{"zapierWebhook", "z"}, {"zapierIncludeTranscript", "YES"}},
         {{"zapierSigningSecret", "k"}},
         {{"Zapier", "zapier",
           Config{{"zapierWebhook", "z"},
                  {"zapierSigningSecret", "k"},
                  {"zapierIncludeTranscript", "true"}}}}},
        {"all in order",
         {{"discordWebhook", "d"},
          {"notionToken", "n"},
          {"notionParentId", "p"},
          {"zapierWebhook", "z"}},
         {{"zapierSigningSecret", "k"}},
         {{"Notion", "notion", Config{{"notionToken", "n"}, {"notionParentId", "p"}}},
          {"Discord", "discord", Config{{"discordWebhook", "d"}}},
          {"Zapier", "zapier",
           Config{{"zapierWebhook", "z"},
                  {"zapierSigningSecret", "k"},
                  {"zapierIncludeTranscript", "false"}}}}},
    };
    for (const auto& c : cases) {
        testsupport::TempDir dir;
        UserDefaults defaults(dir / "defaults.json");
        for (const auto& [key, value] : c.settings) defaults.set(key, value);
        const auto read = [&](const std::string& account) {
            return c.secrets.contains(account) ? c.secrets.at(account) : std::string();
        };
        EXPECT_EQ(collectShareTargets(defaults, read), c.expected) << c.name;
    }
    EXPECT_EQ(shareSummary({"Notion", "Discord"}, {"Slack"}),
              "送信済み: Notion・Discord / 失敗: Slack");
    EXPECT_EQ(shareSummary({}, {"Slack", "Zapier"}), "失敗: Slack・Zapier");
}

}  // namespace

#include <gtest/gtest.h>

#include "engine/ShareTarget.h"
#include "support/TempDir.h"
#include "util/UserDefaults.h"

namespace {

using Config = std::map<std::string, std::string>;

struct Case {
    const char* name;
    std::map<std::string, DefaultsValue> settings;
    std::map<std::string, std::string> secrets;
    std::vector<ShareTarget> expected;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class ShareTargets : public ::testing::TestWithParam<Case> {};

TEST_P(ShareTargets, AreCollectedInOrderWithTheirSettings) {
    testsupport::TempDir dir;
    UserDefaults defaults(dir / "defaults.json");
    for (const auto& [key, value] : GetParam().settings) defaults.set(key, value);
    const auto secrets = GetParam().secrets;
    const auto read = [&](const std::string& account) {
        auto it = secrets.find(account);
        return it == secrets.end() ? std::string() : it->second;
    };
    EXPECT_EQ(collectShareTargets(defaults, read), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShareTargets,
    ::testing::Values(
        Case{"Nothing", {}, {}, {}},
        Case{"SlackWebhookOnly",
             {{"slackWebhook", "https://hooks/s"}, {"slackToken", "t"}, {"slackChannelId", ""}},
             {},
             {{"Slack", "slack", Config{{"slackWebhook", "https://hooks/s"}}}}},
        Case{"SlackWithBot",
             {{"slackWebhook", "w"}, {"slackToken", "t"}, {"slackChannelId", "C1"}},
             {},
             {{"Slack", "slack",
               Config{{"slackWebhook", "w"}, {"slackToken", "t"}, {"slackChannelId", "C1"}}}}},
        Case{"NotionNeedsBoth", {{"notionToken", "n"}}, {}, {}},
        Case{"HubSpotNeedsObjectId", {{"hubspotObjectId", ""}}, {{"hubspotToken", "h"}}, {}},
        Case{"HubSpotTypeDefaultsOnlyWhenAbsent",
             {{"hubspotObjectId", "42"}, {"hubspotObjectType", ""}},
             {{"hubspotToken", "h"}},
             {{"HubSpot", "hubspot",
               Config{
                   {"hubspotToken", "h"}, {"hubspotObjectType", ""}, {"hubspotObjectId", "42"}}}}},
        Case{"HubSpotTokenOnlyFromTheKeyring",
             {{"hubspotObjectId", "42"}, {"hubspotToken", "in settings"}},
             {},
             {}},
        Case{"SalesforceIdsSentEmpty",
             {{"salesforceInstanceUrl", "https://sf"}},
             {{"salesforceAccessToken", "s"}},
             {{"Salesforce", "salesforce",
               Config{{"salesforceAccessToken", "s"},
                      {"salesforceInstanceUrl", "https://sf"},
                      {"salesforceWhoId", ""},
                      {"salesforceWhatId", ""}}}}},
        Case{"ZapierTranscriptLooseBoolean",
             {{"zapierWebhook", "z"}, {"zapierIncludeTranscript", "YES"}},
             {{"zapierSigningSecret", "k"}},
             {{"Zapier", "zapier",
               Config{{"zapierWebhook", "z"},
                      {"zapierSigningSecret", "k"},
                      {"zapierIncludeTranscript", "true"}}}}},
        Case{"AllInOrder",
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
                      {"zapierIncludeTranscript", "false"}}}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ShareSummary, ListsSentThenFailed) {
    EXPECT_EQ(shareSummary({"Notion", "Discord"}, {"Slack"}),
              "送信済み: Notion・Discord / 失敗: Slack");
    EXPECT_EQ(shareSummary({}, {"Slack", "Zapier"}), "失敗: Slack・Zapier");
    EXPECT_EQ(shareSummary({"Slack"}, {}), "送信済み: Slack");
}

}  // namespace

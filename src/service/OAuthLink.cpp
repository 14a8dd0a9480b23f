#include "service/OAuthLink.h"

#include <QUrl>
#include <QUrlQuery>

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Desktop.h"
#include "platform/Notifier.h"
#include "service/Base64Url.h"
#include "service/TavroAPI.h"
#include "util/Json.h"
#include "util/Uuid.h"

namespace {

const std::string kPendingNonce = "oauthPendingNonce";
constexpr std::string_view kScheme = "tavro:";

// The host exactly as written: QUrl lower-cases it, and the callback name is case-sensitive.
std::string rawHost(std::string_view url) {
    std::string_view rest = url.substr(kScheme.size());
    if (!rest.starts_with("//")) return {};
    rest.remove_prefix(2);
    std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    if (auto at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    return std::string(authority.substr(0, authority.find(':')));
}

std::string callbackName(std::string_view text, const QUrl& url) {
    std::string name = rawHost(text);
    if (!name.empty()) return name;
    name = url.path(QUrl::FullyDecoded).toStdString();
    const auto first = name.find_first_not_of('/');
    if (first == std::string::npos) return {};
    return name.substr(first, name.find_last_not_of('/') - first + 1);
}

std::optional<std::string> queryItem(const QUrlQuery& query, const char* name) {
    if (!query.hasQueryItem(QString::fromLatin1(name))) return std::nullopt;
    return query.queryItemValue(QString::fromLatin1(name), QUrl::FullyDecoded).toStdString();
}

// The patch's settings in order, or nullopt unless it is a JSON object of strings.
std::optional<std::vector<std::pair<std::string, std::string>>> decodePatch(
    const std::string& text) {
    const std::optional<std::string> bytes = base64url::decode(text);
    if (!bytes) return std::nullopt;
    const std::optional<json::Value> parsed = json::tryParse(*bytes);
    if (!parsed || !parsed->is_object()) return std::nullopt;
    std::vector<std::pair<std::string, std::string>> settings;
    for (const auto& [key, value] : parsed->items()) {
        if (!value.is_string()) return std::nullopt;
        settings.emplace_back(key, json::asString(value, key));
    }
    return settings;
}

}  // namespace

const std::map<std::string, std::string>& OAuthLink::providerNames() {
    static const std::map<std::string, std::string> names{
        {"slack", "Slack"}, {"discord", "Discord"}, {"notion", "Notion"}};
    return names;
}

const std::map<std::string, std::set<std::string>>& OAuthLink::allowedKeysByProvider() {
    static const std::map<std::string, std::set<std::string>> keys{
        {"slack", {"slackWebhook", "slackTeam", "slackChannel", "slackToken", "slackChannelId"}},
        {"discord", {"discordWebhook", "discordChannel"}},
        {"notion", {"notionToken", "notionWorkspace", "notionParentId"}},
    };
    return keys;
}

bool OAuthLink::connect(const std::string& provider, UserDefaults& defaults) {
    if (!providerNames().contains(provider)) return false;
    const std::string nonce = uuid::make();
    defaults.set(kPendingNonce, nonce);
    // The service's connect page knows this client by "client=mac"; that is its contract.
    const QUrl page(QString::fromStdString(TavroAPI::base() + "/api/oauth/" + provider +
                                           "/start?client=mac&nonce=" + nonce),
                    QUrl::StrictMode);
    return page.isValid() && !page.isRelative() && Desktop::openUrl(page);
}

void OAuthLink::disconnect(const std::string& provider, UserDefaults& defaults) {
    const auto& allowed = allowedKeysByProvider();
    auto it = allowed.find(provider);
    if (it == allowed.end()) return;
    for (const std::string& key : it->second) defaults.remove(key);
}

void OAuthLink::handle(const std::string& url, UserDefaults& defaults) {
    handle(url, defaults, Notifier::shared());
}

void OAuthLink::handle(const std::string& text, UserDefaults& defaults, Notifier& notifier) {
    if (!text.starts_with(kScheme)) return;
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    if (!url.isValid()) return;
    if (callbackName(text, url) != "oauth") return;

    const std::optional<std::string> pending = defaults.stringValue(kPendingNonce);
    if (!pending || pending->empty()) return;
    const QUrlQuery query(url);
    if (queryItem(query, "nonce") != *pending) return;
    // From here on the nonce is used up, whether or not the rest succeeds.
    defaults.remove(kPendingNonce);

    const std::optional<std::string> provider = queryItem(query, "provider");
    if (!provider) return;
    const auto allowed = allowedKeysByProvider().find(*provider);
    if (allowed == allowedKeysByProvider().end()) return;
    const std::optional<std::string> patchText = queryItem(query, "patch");
    if (!patchText) return;
    const auto patch = decodePatch(*patchText);
    if (!patch) return;
    // One key the provider may not set rejects the whole patch.
    for (const auto& [key, value] : *patch)
        if (!allowed->second.contains(key)) return;
    for (const auto& [key, value] : *patch)
        if (!value.empty()) defaults.set(key, value);

    const auto name = providerNames().find(*provider);
    const std::string title =
        (name != providerNames().end() ? name->second : std::string("サービス")) + "と接続しました";
    const bool needsParentPage =
        *provider == "notion" && defaults.stringValue("notionParentId").value_or("").empty();
    const std::string body = needsParentPage
                                 ? "設定 > 連携 で議事録の保存先ページを選択してください。"
                                 : "議事録の完成後、PDF/Word付きで自動送信されます。";
    notifier.post(QString::fromStdString(uuid::make()), QString::fromStdString(title),
                  QString::fromStdString(body));
    Desktop::bringToFront();
}

#pragma once
// What the integrations tab shows and does: automatic sending, the browser-connected services
// (Notion, Slack, Discord) with Notion's destination page, the hand-entered ones (HubSpot,
// Salesforce, Zapier) and a hand-entry fallback. Plain values live in the settings store and
// the rows follow it live, so a connect finished in the browser shows at once. The three
// secrets live in the keyring: read when the tab is shown, written only on the user's edits.
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "service/TavroAPI.h"

class UserDefaults;

class IntegrationSettingsModel : public QObject {
    Q_OBJECT
public:
    using Page = TavroAPI::NotionPage;
    // Called on a worker thread; throws APIError on failure.
    using FetchPages = std::function<std::vector<Page>(const std::string& token)>;

    enum class Secret { hubspotToken, salesforceAccessToken, zapierSigningSecret };
    static const char* account(Secret secret);
    enum class Group { hubspot, salesforce, zapier };

    struct Provider {
        QString icon;
        QString name;
        bool connected = false;
        QString status;  // "接続済み — detail" or "未接続"
        QString button;
        QString problem;  // why the last connect reached no browser; empty when it did
    };

    // What the Notion destination area shows.
    enum class Picker { hidden, chosen, loading, error, list, empty };

    static constexpr const char* kPagesError = "ページ一覧の取得に失敗しました";

    explicit IntegrationSettingsModel(UserDefaults& defaults,
                                      FetchPages fetch = &TavroAPI::notionPages,
                                      QObject* parent = nullptr);

    // Plain settings; strings are "" and switches off when unset.
    QString text(const std::string& key) const;
    void setText(const std::string& key, const QString& value);
    bool flag(const std::string& key) const;
    void setFlag(const std::string& key, bool on);
    QString hubspotObjectType() const;

    // The user's own edit of the token field: the page chosen for the old token goes too.
    void setManualNotionToken(const QString& token);

    Provider provider(const std::string& id) const;
    // Where no browser takes the connect page, the provider's row says so until the next try.
    void connectProvider(const std::string& id);
    void disconnectProvider(const std::string& id);
    // Slack connected before it handed out a bot token: files cannot be attached.
    bool slackNeedsReconnect() const;

    // From what the keyring holds, not from what was typed.
    bool ready(Group group) const;
    // "送信可能 ✓", "未接続", or why the group's last secret edit was not kept.
    QString readiness(Group group) const;
    bool saveFailed(Group group) const;

    // What the field shows: as read, or as last typed.
    QString secret(Secret secret) const;
    // The user's edit: stored at once; an empty value removes the secret.
    void editSecret(Secret secret, const QString& value);

    Picker picker() const;
    const std::optional<std::vector<Page>>& pages() const { return pages_; }
    const std::optional<QString>& pagesError() const { return pagesError_; }
    void choosePage(const QString& id);
    // "変更する": forget the chosen page and offer the list again.
    void changePage();
    void reloadPages();

    // Shown: secrets are read, and the page list is loaded when the picker needs it.
    void tabShown();
    void tabLeft();

signals:
    void changed();

private:
    void settingChanged(const QString& key);
    void loadNotionPages();
    void forgetPages();

    UserDefaults& defaults_;
    FetchPages fetch_;
    std::map<Secret, QString> secrets_;
    std::map<Secret, bool> stored_;  // the keyring holds a value
    std::map<Secret, QString> saveErrors_;
    std::optional<std::vector<Page>> pages_;
    std::optional<QString> pagesError_;
    std::optional<std::string> requestedFor_;  // the token whose list is on its way
    std::string lastToken_;
    bool shown_ = false;
    std::map<std::string, QString> connectProblems_;  // by provider, until its next try
};

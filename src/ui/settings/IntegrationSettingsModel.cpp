#include "ui/settings/IntegrationSettingsModel.h"

#include "platform/Desktop.h"
#include "service/OAuthLink.h"
#include "service/SecureStore.h"
#include "service/ServiceCall.h"
#include "util/UserDefaults.h"

namespace {

const std::string kNotionToken = "notionToken";
const std::string kNotionParent = "notionParentId";

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

constexpr IntegrationSettingsModel::Secret kSecrets[] = {
    IntegrationSettingsModel::Secret::hubspotToken,
    IntegrationSettingsModel::Secret::salesforceAccessToken,
    IntegrationSettingsModel::Secret::zapierSigningSecret,
};

IntegrationSettingsModel::Secret secretOf(IntegrationSettingsModel::Group group) {
    using G = IntegrationSettingsModel::Group;
    using S = IntegrationSettingsModel::Secret;
    switch (group) {
        case G::hubspot:
            return S::hubspotToken;
        case G::salesforce:
            return S::salesforceAccessToken;
        case G::zapier:
            break;
    }
    return S::zapierSigningSecret;
}

QString failureText(SecretStore::Failure why) {
    switch (why) {
        case SecretStore::Failure::noService:
            return QStringLiteral("キーリング(Secret Service)が見つかりません");
        case SecretStore::Failure::noKeyring:
            return QStringLiteral("既定のキーリングがありません");
        case SecretStore::Failure::locked:
            return QStringLiteral("キーリングがロックされています");
        case SecretStore::Failure::refused:
            break;
    }
    return QStringLiteral("キーリングが受け付けませんでした");
}

}  // namespace

const char* IntegrationSettingsModel::account(Secret secret) {
    switch (secret) {
        case Secret::hubspotToken:
            return "hubspotToken";
        case Secret::salesforceAccessToken:
            return "salesforceAccessToken";
        case Secret::zapierSigningSecret:
            break;
    }
    return "zapierSigningSecret";
}

IntegrationSettingsModel::IntegrationSettingsModel(UserDefaults& defaults, FetchPages fetch,
                                                   QObject* parent)
    : QObject(parent), defaults_(defaults), fetch_(std::move(fetch)) {
    lastToken_ = text(kNotionToken).toStdString();
    connect(&defaults_, &UserDefaults::changed, this, &IntegrationSettingsModel::settingChanged);
}

QString IntegrationSettingsModel::text(const std::string& key) const {
    return qs(defaults_.stringValue(key).value_or(""));
}

void IntegrationSettingsModel::setText(const std::string& key, const QString& value) {
    if (value != text(key)) defaults_.set(key, value.toStdString());
}

bool IntegrationSettingsModel::flag(const std::string& key) const {
    return defaults_.boolOr(key, false);
}

void IntegrationSettingsModel::setFlag(const std::string& key, bool on) {
    if (on != flag(key)) defaults_.set(key, on);
}

QString IntegrationSettingsModel::hubspotObjectType() const {
    return qs(defaults_.stringValue("hubspotObjectType").value_or("contact"));
}

void IntegrationSettingsModel::setManualNotionToken(const QString& token) {
    if (token == text(kNotionToken)) return;
    setText(kNotionToken, token);
    // Only here: a connect callback stores a token together with its page, which must stay.
    defaults_.remove(kNotionParent);
}

IntegrationSettingsModel::Provider IntegrationSettingsModel::provider(const std::string& id) const {
    Provider p;
    p.icon = qs(id);
    const auto name = OAuthLink::providerNames().find(id);
    p.name = name != OAuthLink::providerNames().end() ? qs(name->second) : qs(id);
    QString detail;
    if (id == "notion") {
        p.connected = !text(kNotionToken).isEmpty();
        detail = text("notionWorkspace");
    } else if (id == "slack") {
        p.connected = !text("slackWebhook").isEmpty();
        QStringList parts;
        for (const char* key : {"slackTeam", "slackChannel"})
            if (const QString v = text(key); !v.isEmpty()) parts << v;
        detail = parts.join(QLatin1Char(' '));
    } else if (id == "discord") {
        p.connected = !text("discordWebhook").isEmpty();
        if (const QString channel = text("discordChannel"); !channel.isEmpty())
            detail = QLatin1Char('#') + channel;
    }
    if (p.connected) {
        p.status = QStringLiteral("接続済み");
        if (!detail.isEmpty()) p.status += QStringLiteral(" — ") + detail;
        p.button = QStringLiteral("接続を解除");
    } else {
        p.status = QStringLiteral("未接続");
        p.button = p.name + QStringLiteral("と接続");
    }
    if (const auto problem = connectProblems_.find(id); problem != connectProblems_.end())
        p.problem = problem->second;
    return p;
}

void IntegrationSettingsModel::connectProvider(const std::string& id) {
    const bool opened = OAuthLink::connect(id, defaults_);
    const QString problem = opened ? QString() : Desktop::noBrowserText();
    if (problem == connectProblems_[id]) return;
    connectProblems_[id] = problem;
    emit changed();
}

void IntegrationSettingsModel::disconnectProvider(const std::string& id) {
    if (id == "notion") forgetPages();
    connectProblems_.erase(id);
    OAuthLink::disconnect(id, defaults_);
    emit changed();
}

bool IntegrationSettingsModel::slackNeedsReconnect() const {
    return !text("slackWebhook").isEmpty() && text("slackToken").isEmpty();
}

bool IntegrationSettingsModel::ready(Group group) const {
    const auto stored = stored_.find(secretOf(group));
    if (stored == stored_.end() || !stored->second) return false;
    switch (group) {
        case Group::hubspot:
            return !text("hubspotObjectId").isEmpty();
        case Group::salesforce:
            return !text("salesforceInstanceUrl").isEmpty();
        case Group::zapier:
            break;
    }
    return !text("zapierWebhook").isEmpty();
}

QString IntegrationSettingsModel::readiness(Group group) const {
    if (const auto error = saveErrors_.find(secretOf(group)); error != saveErrors_.end())
        return error->second;
    return ready(group) ? QStringLiteral("送信可能 ✓") : QStringLiteral("未接続");
}

bool IntegrationSettingsModel::saveFailed(Group group) const {
    return saveErrors_.count(secretOf(group)) > 0;
}

QString IntegrationSettingsModel::secret(Secret secret) const {
    const auto it = secrets_.find(secret);
    return it == secrets_.end() ? QString() : it->second;
}

void IntegrationSettingsModel::editSecret(Secret which, const QString& value) {
    if (value == secret(which)) return;
    secrets_[which] = value;  // the field keeps what was typed, kept or not
    SecretStore::Failure why{};
    if (SecureStore::write(value.toStdString(), account(which), &why)) {
        stored_[which] = !value.isEmpty();
        saveErrors_.erase(which);
    } else {
        stored_[which] = !SecureStore::read(account(which)).empty();
        saveErrors_[which] =
            (value.isEmpty() ? QStringLiteral("キーリングから削除できませんでした: ")
                             : QStringLiteral("キーリングに保存できませんでした: ")) +
            failureText(why);
    }
    emit changed();
}

IntegrationSettingsModel::Picker IntegrationSettingsModel::picker() const {
    if (text(kNotionToken).isEmpty()) return Picker::hidden;
    if (!text(kNotionParent).isEmpty()) return Picker::chosen;
    if (pagesError_) return Picker::error;
    if (!pages_) return Picker::loading;
    return pages_->empty() ? Picker::empty : Picker::list;
}

void IntegrationSettingsModel::choosePage(const QString& id) {
    setText(kNotionParent, id);
}

void IntegrationSettingsModel::changePage() {
    forgetPages();
    defaults_.remove(kNotionParent);
    emit changed();
    if (shown_) loadNotionPages();
}

void IntegrationSettingsModel::reloadPages() {
    pagesError_.reset();
    emit changed();
    loadNotionPages();
}

void IntegrationSettingsModel::tabShown() {
    shown_ = true;
    // Read only: writing back what was read could turn a locked keyring into a removal.
    for (Secret s : kSecrets) {
        secrets_[s] = qs(SecureStore::read(account(s)));
        stored_[s] = !secrets_[s].isEmpty();
    }
    saveErrors_.clear();
    emit changed();
    loadNotionPages();
}

void IntegrationSettingsModel::tabLeft() {
    shown_ = false;
}

void IntegrationSettingsModel::settingChanged(const QString& key) {
    // A connection made or changed, however it came: an old word about the browser is over.
    for (const auto& [id, keys] : OAuthLink::allowedKeysByProvider())
        if (keys.contains(key.toStdString())) connectProblems_.erase(id);
    if (key.toStdString() == kNotionToken) {
        const std::string token = text(kNotionToken).toStdString();
        // Another token's list is no good; the page chosen with it stays (see above).
        if (token != lastToken_) {
            lastToken_ = token;
            forgetPages();
        }
    }
    emit changed();
    if (shown_) loadNotionPages();
}

void IntegrationSettingsModel::forgetPages() {
    pages_.reset();
    pagesError_.reset();
    requestedFor_.reset();
}

void IntegrationSettingsModel::loadNotionPages() {
    if (picker() != Picker::loading) return;
    const std::string token = text(kNotionToken).toStdString();
    if (requestedFor_ == token) return;  // already on its way
    requestedFor_ = token;
    callService(
        this, [fetch = fetch_, token] { return fetch(token); },
        [this, token](ServiceOutcome<std::vector<Page>> outcome) {
            // An answer for a token that has changed since is dropped.
            if (requestedFor_ != token || text(kNotionToken).toStdString() != token) return;
            requestedFor_.reset();
            if (outcome.ok())
                pages_ = std::move(outcome.value());
            else
                pagesError_ = QString::fromUtf8(kPagesError);
            emit changed();
        });
}

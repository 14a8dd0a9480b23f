#include "ui/settings/AccountSettingsModel.h"

#include "library/MinutesStore.h"
#include "service/AuthModel.h"

AccountSettingsModel::AccountSettingsModel(AuthModel& auth, MinutesStore& store, QObject* parent)
    : QObject(parent), auth_(auth), store_(store) {
    // A new code was sent: the code of an earlier step is of no use, and typing would add to it.
    connect(&auth_, &AuthModel::stateChanged, this, [this] {
        if (page() == Page::codeSent) code_.clear();
    });
    for (auto signal :
         {&AuthModel::stateChanged, &AuthModel::busyChanged, &AuthModel::errorChanged})
        connect(&auth_, signal, this, &AccountSettingsModel::changed);
    connect(&store_, &MinutesStore::recordsChanged, this, &AccountSettingsModel::changed);
}

AccountSettingsModel::Page AccountSettingsModel::page() const {
    if (std::holds_alternative<AuthModel::LoggedIn>(auth_.state())) return Page::loggedIn;
    if (std::holds_alternative<AuthModel::CodeSent>(auth_.state())) return Page::codeSent;
    return Page::loggedOut;
}

void AccountSettingsModel::setEmail(const QString& text) {
    if (text == email_) return;
    email_ = text;
    emit changed();
}

void AccountSettingsModel::setCode(const QString& text) {
    if (text == code_) return;
    code_ = text;
    emit changed();
}

bool AccountSettingsModel::canRequestCode() const {
    return !auth_.busy() && email_.contains(QLatin1Char('@'));
}

QString AccountSettingsModel::requestLabel() const {
    return auth_.busy() ? QStringLiteral("送信中…") : QStringLiteral("ログインコードを送信");
}

bool AccountSettingsModel::canVerify() const {
    // Characters, not UTF-16 units.
    return !auth_.busy() && code_.trimmed().toUcs4().size() == 6;
}

QString AccountSettingsModel::verifyLabel() const {
    return auth_.busy() ? QStringLiteral("確認中…") : QStringLiteral("ログイン");
}

void AccountSettingsModel::requestCode() {
    if (!canRequestCode()) return;
    auth_.requestCode(email_.trimmed().toStdString());
}

void AccountSettingsModel::verify() {
    if (!canVerify()) return;
    // The service compares the code exactly: spaces pasted around it would fail it.
    auth_.verify(code_.trimmed().toStdString());
}

void AccountSettingsModel::back() {
    auth_.setState(AuthModel::LoggedOut{});
}

void AccountSettingsModel::logout() {
    auth_.logout();
}

QString AccountSettingsModel::accountEmail() const {
    const auto* in = std::get_if<AuthModel::LoggedIn>(&auth_.state());
    return in ? QString::fromStdString(in->email) : QString();
}

QString AccountSettingsModel::planBadge() const {
    const auto* in = std::get_if<AuthModel::LoggedIn>(&auth_.state());
    return in && in->plan == "pro" ? QStringLiteral("Pro") : QStringLiteral("Free");
}

QString AccountSettingsModel::monthCount() const {
    return QString::number(store_.thisMonthCount()) + QStringLiteral("件");
}

QString AccountSettingsModel::error() const {
    return QString::fromStdString(auth_.error().value_or(""));
}

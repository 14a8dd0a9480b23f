#pragma once
// What the account tab shows and does: the e-mail and code steps of the login, the signed-in
// account with its plan and this month's count of minutes, and logging out. The login itself,
// its busy flag and its error belong to AuthModel; this only reads and drives it.
#include <QObject>
#include <QString>

class AuthModel;
class MinutesStore;

class AccountSettingsModel : public QObject {
    Q_OBJECT
public:
    enum class Page { loggedOut, codeSent, loggedIn };

    AccountSettingsModel(AuthModel& auth, MinutesStore& store, QObject* parent = nullptr);

    Page page() const;
    const QString& email() const { return email_; }
    void setEmail(const QString& text);
    const QString& code() const { return code_; }
    void setCode(const QString& text);

    bool canRequestCode() const;
    QString requestLabel() const;  // "ログインコードを送信", "送信中…" while busy
    bool canVerify() const;
    QString verifyLabel() const;  // "ログイン", "確認中…" while busy

    // Both send the field's text without the blanks around it; the fields keep what was typed,
    // but each new code step starts with an empty code.
    void requestCode();
    void verify();
    // Back to the e-mail step; the e-mail keeps its text.
    void back();
    void logout();

    QString accountEmail() const;
    QString planBadge() const;   // "Pro" only for the plan "pro"
    QString monthCount() const;  // e.g. "12件"
    QString error() const;       // empty when there is none

signals:
    void changed();

private:
    AuthModel& auth_;
    MinutesStore& store_;
    QString email_;
    QString code_;
};

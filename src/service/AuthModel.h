#pragma once
// The user's account with the service: login with a one-time code sent by e-mail, the stored
// login with its plan, and the state the account settings show and drive.
//
// The login lives in the settings store under "authToken", "authEmail" and "authPlan"; other
// parts read "authToken" from there themselves. Everything here runs on the GUI thread; service
// calls run on worker threads and their outcomes come back to it.
#include <QObject>

#include <optional>
#include <string>
#include <variant>

#include "util/UserDefaults.h"

class APIError;

class AuthModel : public QObject {
    Q_OBJECT
public:
    struct CodeSent {
        std::string challenge;  // the service's challenge, needed to verify the code
        bool operator==(const CodeSent&) const = default;
    };
    struct LoggedIn {
        std::string email;
        std::string plan;
        bool operator==(const LoggedIn&) const = default;
    };
    struct LoggedOut {
        bool operator==(const LoggedOut&) const = default;
    };
    using State = std::variant<CodeSent, LoggedIn, LoggedOut>;

    // Restores a stored login and, when there is one, starts refreshing it from the service.
    explicit AuthModel(UserDefaults& defaults = UserDefaults::standard(),
                       QObject* parent = nullptr);

    const State& state() const { return state_; }
    // The account tab sets loggedOut itself to leave the code step.
    void setState(State state);
    bool busy() const { return busy_; }
    const std::optional<std::string>& error() const { return error_; }
    std::optional<std::string> token() const;

    // Asks the service for the account behind `token` and applies the answer.
    void refresh(const std::string& token);
    // Asks the service to mail a code to `email` (sent exactly as given).
    void requestCode(const std::string& email);
    // Exchanges the code for a login; does nothing unless a code was sent.
    void verify(const std::string& code);
    // Forgets the stored login. Nothing is sent to the service.
    void logout();

    // Whether a failed refresh ends the login. Every answer of the service does, except a
    // server fault (5xx), a time-out (408) and a rate limit (429); a failure without an answer
    // (no network, no connection) does not, as it says nothing about the login.
    static bool rejectsLogin(const APIError& error);

signals:
    void stateChanged();
    void busyChanged();
    void errorChanged();

private:
    void setBusy(bool busy);
    void setError(std::optional<std::string> error);

    UserDefaults& defaults_;
    State state_ = LoggedOut{};
    bool busy_ = false;
    std::optional<std::string> error_;
};

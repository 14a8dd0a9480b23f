#include "service/AuthModel.h"

#include "service/APIError.h"
#include "service/ServiceCall.h"
#include "service/TavroAPI.h"

namespace {

const std::string kToken = "authToken";
const std::string kEmail = "authEmail";
const std::string kPlan = "authPlan";
const std::string kFreePlan = "free";

}  // namespace

AuthModel::AuthModel(UserDefaults& defaults, QObject* parent)
    : QObject(parent), defaults_(defaults) {
    const std::optional<std::string> token = defaults_.stringValue(kToken);
    if (!token) return;
    // A token without an address stays stored: other parts still send it.
    const std::optional<std::string> email = defaults_.stringValue(kEmail);
    if (!email) return;
    state_ = LoggedIn{*email, defaults_.stringValue(kPlan).value_or(kFreePlan)};
    refresh(*token);
}

void AuthModel::setState(State state) {
    if (state == state_) return;
    state_ = std::move(state);
    emit stateChanged();
}

std::optional<std::string> AuthModel::token() const {
    return defaults_.stringValue(kToken);
}

bool AuthModel::rejectsLogin(const APIError& error) {
    const std::optional<long> status = error.httpStatus();
    if (!status) return false;
    // A fault of the server, a time-out or a rate limit passes; any other answer is final.
    const bool passing = (*status >= 500 && *status <= 599) || *status == 408 || *status == 429;
    return !passing;
}

void AuthModel::refresh(const std::string& token) {
    callService(
        this, [token] { return TavroAPI::me(token); },
        [this, token](ServiceOutcome<TavroAPI::Account> outcome) {
            // A login made or dropped while the request was out is newer than its answer.
            if (defaults_.stringValue(kToken) != token) return;
            if (outcome.ok()) {
                const TavroAPI::Account& account = outcome.value();
                defaults_.set(kPlan, account.plan);
                setState(LoggedIn{account.email, account.plan});
            } else if (rejectsLogin(outcome.error())) {
                logout();
            }
        });
}

void AuthModel::requestCode(const std::string& email) {
    setBusy(true);
    setError(std::nullopt);
    callService(
        this, [email] { return TavroAPI::requestCode(email); },
        [this](ServiceOutcome<std::string> outcome) {
            if (outcome.ok())
                setState(CodeSent{outcome.value()});
            else
                setError(outcome.error().message());
            setBusy(false);
        });
}

void AuthModel::verify(const std::string& code) {
    const auto* sent = std::get_if<CodeSent>(&state_);
    if (!sent) return;
    setBusy(true);
    setError(std::nullopt);
    callService(
        this, [challenge = sent->challenge, code] { return TavroAPI::verifyCode(challenge, code); },
        [this](ServiceOutcome<TavroAPI::Login> outcome) {
            if (outcome.ok()) {
                const TavroAPI::Login& login = outcome.value();
                defaults_.set(kToken, login.token);
                defaults_.set(kEmail, login.email);
                defaults_.set(kPlan, kFreePlan);
                setState(LoggedIn{login.email, kFreePlan});
            } else {
                setError(outcome.error().message());
            }
            setBusy(false);
        });
}

void AuthModel::logout() {
    defaults_.remove(kToken);
    defaults_.remove(kEmail);
    defaults_.remove(kPlan);
    setState(LoggedOut{});
}

void AuthModel::setBusy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    emit busyChanged();
}

void AuthModel::setError(std::optional<std::string> error) {
    if (error == error_) return;
    error_ = std::move(error);
    emit errorChanged();
}

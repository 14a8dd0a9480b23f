#include "ui/settings/AgentSettingsModel.h"

#include <QTimer>

#include "service/ServiceCall.h"
#include "util/UserDefaults.h"

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// Spaces and tabs only: the code field holds one line.
QString trimmedBlanks(const QString& text) {
    qsizetype from = 0, to = text.size();
    auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (from < to && blank(text[from])) ++from;
    while (to > from && blank(text[to - 1])) --to;
    return text.mid(from, to - from);
}

}  // namespace

AgentSettingsModel::Tools AgentSettingsModel::Tools::real(const AgentAuth::Options& options) {
    return {[options](AgentKind k) { return AgentAuth::status(k, options); },
            [options](AgentKind k) { return AgentAuth::startLogin(k, options); },
            [](const std::string& code, PipeWriter& to) { AgentAuth::submitCode(code, to); }};
}

AgentSettingsModel::Delay AgentSettingsModel::realDelay() {
    return [](QObject* context, std::function<void()> fire) {
        QTimer::singleShot(kPollInterval, context, std::move(fire));
    };
}

AgentSettingsModel::AgentSettingsModel(UserDefaults& defaults, Tools tools, Delay delay,
                                       QObject* parent)
    : QObject(parent), defaults_(defaults), tools_(std::move(tools)), delay_(std::move(delay)) {
    connect(&defaults_, &UserDefaults::changed, this, [this](const QString& key) {
        if (key == QLatin1String(kAutoAgentKey) || key == QLatin1String(kAgentCmdKey))
            emit changed();
    });
}

AgentSettingsModel::~AgentSettingsModel() {
    retire(session_);
}

bool AgentSettingsModel::autoAgent() const {
    return defaults_.boolOr(kAutoAgentKey, true);
}

void AgentSettingsModel::setAutoAgent(bool on) {
    if (on != autoAgent()) defaults_.set(kAutoAgentKey, on);
}

std::string AgentSettingsModel::agentCmd() const {
    return defaults_.stringValue(kAgentCmdKey).value_or("claude");
}

void AgentSettingsModel::setAgentCmd(const std::string& raw) {
    if (raw != agentCmd()) defaults_.set(kAgentCmdKey, raw);
}

bool AgentSettingsModel::showsWarning() const {
    if (!autoAgent()) return false;
    const auto kind = agentkind::fromRawValue(agentCmd());
    if (!kind) return false;
    const auto it = statuses_.find(*kind);
    return it != statuses_.end() && !it->second.loggedIn;
}

std::optional<AgentStatus> AgentSettingsModel::status(AgentKind kind) const {
    const auto it = statuses_.find(kind);
    if (it == statuses_.end()) return std::nullopt;
    return it->second;
}

AgentSettingsModel::Row AgentSettingsModel::row(AgentKind kind) const {
    Row r;
    r.title = qs(agentkind::displayName(kind));
    const auto st = status(kind);
    if (!st)
        r.subtitle = QStringLiteral("確認中…");
    else if (st->loggedIn)
        r.subtitle = st->account ? qs(*st->account) : QStringLiteral("接続済み");
    else if (st->installed)
        r.subtitle = QStringLiteral("公式アカウントでサインインすると利用できます");
    else
        r.subtitle = qs(agentkind::installHint(kind));

    using C = Row::Control;
    if (connecting_ == kind)
        r.control = C::cancel;
    else if (!st)
        r.control = C::none;
    else if (st->loggedIn)
        r.control = C::reconnect;
    else if (st->installed)
        r.control = C::connect;
    else
        r.control = C::notInstalled;
    r.codeField = awaitingCode_ == kind;
    return r;
}

void AgentSettingsModel::setPastedCode(const QString& text) {
    if (text == pastedCode_) return;
    pastedCode_ = text;
    emit changed();
}

bool AgentSettingsModel::canSubmitCode() const {
    return !trimmedBlanks(pastedCode_).isEmpty();
}

void AgentSettingsModel::tabShown() {
    ++visit_;
    refreshStatuses();
}

void AgentSettingsModel::tabLeft() {
    ++visit_;
    cancelLogin();
}

void AgentSettingsModel::refreshStatuses() {
    const quint64 visit = visit_;
    auto status = tools_.status;
    callService(
        this,
        [status] {
            std::map<AgentKind, AgentStatus> all;
            for (AgentKind kind : agentkind::allCases) all[kind] = status(kind);
            return all;
        },
        [this, visit](ServiceOutcome<std::map<AgentKind, AgentStatus>> outcome) {
            if (visit != visit_ || !outcome.ok()) return;
            statuses_ = outcome.value();
            emit changed();
        });
}

void AgentSettingsModel::startLogin(AgentKind kind) {
    cancelLogin();
    auto login = tools_.startLogin(kind);
    if (!login || !login->proc) {
        message_ =
            qs(agentkind::displayName(kind)) + QStringLiteral(" のログインを開始できませんでした");
        emit changed();
        return;
    }
    session_ = std::move(login);
    connecting_ = kind;
    pastedCode_.clear();
    const bool asksCode = kind == AgentKind::claude;
    awaitingCode_ = asksCode ? std::optional(kind) : std::nullopt;
    message_ =
        asksCode
            ? QStringLiteral("ブラウザでサインイン後、表示されたコードを上の欄に貼り付けてください")
            : QStringLiteral("ブラウザでサインインすると自動で接続されます");
    attemptID_ = QUuid::createUuid();
    pollUntilLoggedIn(kind, attemptID_);
    emit changed();
}

void AgentSettingsModel::cancelLogin() {
    ++poll_;
    retire(session_);
    connecting_.reset();
    awaitingCode_.reset();
    pastedCode_.clear();
    emit changed();
}

void AgentSettingsModel::submitCode() {
    if (!session_ || !session_->stdinPipe || !canSubmitCode()) return;
    tools_.submitCode(pastedCode_.toStdString(), *session_->stdinPipe);
    pastedCode_.clear();
    awaitingCode_.reset();
    message_ = QStringLiteral("確認中…");
    emit changed();
}

void AgentSettingsModel::pollUntilLoggedIn(AgentKind kind, QUuid attempt) {
    pollStep(kind, attempt, ++poll_, 0);
}

void AgentSettingsModel::pollStep(AgentKind kind, QUuid attempt, quint64 poll, int checks) {
    delay_(this, [this, kind, attempt, poll, checks] {
        if (poll != poll_) return;
        if (attemptID_ != attempt || connecting_ != kind) return;
        auto status = tools_.status;
        callService(
            this, [status, kind] { return status(kind); },
            [this, kind, attempt, poll, checks](ServiceOutcome<AgentStatus> outcome) {
                ended(kind, attempt, poll, checks, outcome.ok() ? outcome.value() : AgentStatus{});
            });
    });
}

void AgentSettingsModel::ended(AgentKind kind, QUuid attempt, quint64 poll, int checks,
                               const AgentStatus& status) {
    // Cancelled, restarted or the tab left while the tool was asked.
    if (poll != poll_ || attemptID_ != attempt) return;
    if (status.loggedIn) {
        statuses_[kind] = status;
        connecting_.reset();
        awaitingCode_.reset();
        message_ = qs(agentkind::displayName(kind)) + QStringLiteral(" と接続しました ✓");
        retire(session_);
        emit changed();
        return;
    }
    if (checks + 1 >= kMaxChecks) {
        if (connecting_ != kind) return;
        cancelLogin();
        message_ = QStringLiteral("時間内に接続を確認できませんでした。もう一度お試しください");
        emit changed();
        return;
    }
    pollStep(kind, attempt, poll, checks + 1);
}

void AgentSettingsModel::retire(std::optional<AgentAuth::Login>& session) {
    if (!session) return;
    std::shared_ptr<ChildProcess> proc = std::move(session->proc);
    session.reset();
    if (!proc) return;
    proc->terminate();
    // The handler holds the last reference, so the child object lives until it is reaped.
    proc->onExit([proc](ChildProcess::Exit) mutable { (void)proc; });
}

#pragma once
// What the AI agent tab shows and does: the autonomy switch, the chosen tool, each tool's
// installed and signed-in state, and signing a tool in. A sign-in runs the tool's login command
// as a child owned here, then checks the tool's status every 2 s, at most 90 times. Status
// checks block for up to 20 s, so they run on worker threads; an answer that arrives after the
// attempt, the visit of the tab or the poll has changed is dropped.
#include <QObject>
#include <QString>
#include <QUuid>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agents/AgentAuth.h"

class UserDefaults;

class AgentSettingsModel : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kAutoAgentKey = "autoAgent";
    static constexpr const char* kAgentCmdKey = "agentCmd";
    static constexpr auto kPollInterval = std::chrono::seconds(2);
    static constexpr int kMaxChecks = 90;

    // How the tab reaches the tools; the real ones by default, stand-ins in tests.
    struct Tools {
        std::function<AgentStatus(AgentKind)> status;  // called on a worker thread
        std::function<std::optional<AgentAuth::Login>(AgentKind)> startLogin;
        std::function<void(const std::string&, PipeWriter&)> submitCode;

        static Tools real(const AgentAuth::Options& options = AgentAuth::defaultOptions());
    };
    // Runs `fire` on this thread after the poll interval, unless `context` is gone by then.
    using Delay = std::function<void(QObject* context, std::function<void()> fire)>;
    static Delay realDelay();

    struct Row {
        QString title;
        QString subtitle;
        enum class Control { none, cancel, reconnect, connect, notInstalled };
        Control control = Control::none;
        bool codeField = false;
    };

    AgentSettingsModel(UserDefaults& defaults, Tools tools = Tools::real(),
                       Delay delay = realDelay(), QObject* parent = nullptr);
    // Ends a running sign-in: its child is not left behind.
    ~AgentSettingsModel() override;

    bool autoAgent() const;
    void setAutoAgent(bool on);
    std::string agentCmd() const;
    void setAgentCmd(const std::string& raw);
    // The warning under the picker: autonomy on, and the chosen tool checked and signed out.
    bool showsWarning() const;

    std::optional<AgentStatus> status(AgentKind kind) const;
    Row row(AgentKind kind) const;
    std::optional<AgentKind> connecting() const { return connecting_; }
    std::optional<AgentKind> awaitingCode() const { return awaitingCode_; }
    const QString& pastedCode() const { return pastedCode_; }
    void setPastedCode(const QString& text);
    bool canSubmitCode() const;
    const std::optional<QString>& message() const { return message_; }
    // The running sign-in's child, if any.
    std::shared_ptr<ChildProcess> loginProcess() const {
        return session_ ? session_->proc : nullptr;
    }

    // The tab came on screen: read every tool's status again.
    void tabShown();
    // The tab left the screen (another tab, the window closed): cancel the sign-in. A minimised
    // window does not come here; the user is in the browser then.
    void tabLeft();

    void startLogin(AgentKind kind);
    void cancelLogin();
    void submitCode();

signals:
    void changed();

private:
    void refreshStatuses();
    void pollUntilLoggedIn(AgentKind kind, QUuid attempt);
    void pollStep(AgentKind kind, QUuid attempt, quint64 poll, int checks);
    void ended(AgentKind kind, QUuid attempt, quint64 poll, int checks, const AgentStatus& status);
    // Terminates the child and keeps it until it has been reaped.
    void retire(std::optional<AgentAuth::Login>& session);

    UserDefaults& defaults_;
    Tools tools_;
    Delay delay_;
    std::map<AgentKind, AgentStatus> statuses_;
    std::optional<AgentKind> connecting_;
    std::optional<AgentKind> awaitingCode_;
    QString pastedCode_;
    std::optional<AgentAuth::Login> session_;
    std::optional<QString> message_;
    QUuid attemptID_ = QUuid::createUuid();
    quint64 poll_ = 0;   // a new poll, or a cancel, ends the old one
    quint64 visit_ = 0;  // changes when the tab comes or goes
};

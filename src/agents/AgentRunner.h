#pragma once
#include <QObject>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "agents/AgentRun.h"
#include "model/MinutesRecord.h"
#include "util/IsoDate.h"

class UserDefaults;

// Hands the action items of a record to a local AI agent tool. Each run gets a folder of its own
// under the agent folder with the instructions ("prompt.md") and the minutes ("minutes.md"); the
// tool runs there through the user's login shell, writes its output to "agent.log" and its report
// to "REPORT.md". The state of each record's latest run is published in agentRuns() and every
// outcome is announced by a notification. A run is neither waited for nor ended by this object:
// it outlives its windows and the application itself.
class AgentRunner : public QObject {
    Q_OBJECT
public:
    using Notify = std::function<void(const std::string& title, const std::string& body)>;
    using Clock = std::function<Timestamp()>;

    // `agentDir` is the store's agent folder.
    AgentRunner(std::filesystem::path agentDir, UserDefaults& defaults, QObject* parent = nullptr);
    ~AgentRunner() override;

    // By record id; an entry is replaced by a newer run of the same record, never removed.
    const std::map<std::string, AgentRun>& agentRuns() const { return runs_; }

    // Prepares the run folder, starts the tool and returns without waiting for it. Main thread.
    void dispatchAgent(const MinutesRecord& record);

    // The shell that runs the tool with "-lc"; empty (the default) means loginShell() at each run.
    void setShell(std::string shell) { shell_ = std::move(shell); }
    // Where messages go; notify() of the desktop notifier by default.
    void setNotify(Notify notify) { notify_ = std::move(notify); }
    // The time that names the run folders; the system clock by default.
    void setClock(Clock clock) { clock_ = std::move(clock); }

signals:
    void agentRunsChanged();

private:
    struct Guard;

    std::filesystem::path makeRunFolder();
    void setRun(const std::string& recordId, AgentRun run);
    void finished(const std::string& recordId, std::uint64_t runNumber,
                  const std::string& reportPath, const std::string& folderName, bool success);

    std::filesystem::path agentDir_;
    UserDefaults& defaults_;
    std::string shell_;
    Notify notify_;
    Clock clock_;
    std::map<std::string, AgentRun> runs_;
    // The number of each record's latest run, so that an earlier run of the same record that
    // ends later does not overwrite the state of the newer one.
    std::map<std::string, std::uint64_t> latestRun_;
    std::uint64_t runCount_ = 0;
    // Lets a run's watcher thread reach this object only while it exists.
    std::shared_ptr<Guard> guard_;
};

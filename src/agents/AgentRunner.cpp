#include "agents/AgentRunner.h"

#include <sys/stat.h>

#include <cerrno>
#include <mutex>

#include "agents/AgentPrompt.h"
#include "library/CustomTemplateStore.h"
#include "model/Markdown.h"
#include "platform/ChildProcess.h"
#include "platform/LoginShell.h"
#include "platform/Notifier.h"
#include "util/AtomicFile.h"
#include "util/PrivateFiles.h"
#include "util/UserDefaults.h"

namespace fs = std::filesystem;

struct AgentRunner::Guard {
    std::mutex mutex;
    AgentRunner* owner = nullptr;
};

AgentRunner::AgentRunner(fs::path agentDir, UserDefaults& defaults, QObject* parent)
    : QObject(parent),
      agentDir_(std::move(agentDir)),
      defaults_(defaults),
      notify_([](const std::string& title, const std::string& body) { notify(title, body); }),
      clock_([] { return std::chrono::system_clock::now(); }),
      guard_(std::make_shared<Guard>()) {
    guard_->owner = this;
}

AgentRunner::~AgentRunner() {
    std::lock_guard lock(guard_->mutex);
    guard_->owner = nullptr;
}

fs::path AgentRunner::makeRunFolder() {
    privatefiles::makeFolders(agentDir_);
    const std::string stamp = localzone::format(clock_(), "%Y-%m-%d_%H%M%S");
    // A run started in the same second as another gets a folder of its own, so that it never
    // overwrites the files of a tool that may still be working. mkdir claims a name atomically.
    for (int n = 1; n < 1000; ++n) {
        const fs::path folder = agentDir_ / (n == 1 ? stamp : stamp + "-" + std::to_string(n));
        if (mkdir(folder.c_str(), 0700) == 0 || errno != EEXIST) return folder;
    }
    return agentDir_ / stamp;
}

void AgentRunner::dispatchAgent(const MinutesRecord& record) {
    const std::string markdown =
        toMarkdown(record.result, templateLabel(record.templateId, defaults_));
    // A folder or file that cannot be written is not fatal here: the tool then finds no
    // instructions and its failure shows as a failed run.
    const fs::path folder = makeRunFolder();
    atomicfile::write(folder / "prompt.md", agentprompt::instructions(record.result, markdown));
    atomicfile::write(folder / "minutes.md", markdown);
    // The shell's redirection would make the log with the umask; one that exists keeps its mode.
    atomicfile::write(folder / "agent.log", {});

    const std::string command =
        agentprompt::commandLine(defaults_.stringValue("agentCmd").value_or("claude"));
    const std::string reportPath = fs::absolute(folder / "REPORT.md").string();
    const std::string folderName = folder.filename().string();

    ChildProcess::Options options;
    options.program = shell_.empty() ? loginShell() : shell_;
    // The folder is quoted, so a data directory holding a quote or a blank cannot break the
    // command or add to it.
    options.arguments = {
        "-lc", "cd " + shellSingleQuoted(fs::absolute(folder).string()) + " && " + command};
    options.environment = ChildProcess::currentEnvironment();
    options.input = ChildProcess::Input::inherit;
    options.output = ChildProcess::Output::inherit;
    options.newSession = true;

    const std::uint64_t runNumber = ++runCount_;
    latestRun_[record.id] = runNumber;
    std::string error;
    auto child = ChildProcess::spawn(options, &error);
    if (!child) {
        setRun(record.id, AgentRun::failed(error));
        notify_("エージェント起動に失敗しました", error);
        return;
    }
    // The handler runs on the child's watcher thread and only hands over to this object's
    // thread, so `running` below is always published before the outcome.
    child->onExit([guard = guard_, id = record.id, runNumber, reportPath,
                   folderName](ChildProcess::Exit exit) {
        std::lock_guard lock(guard->mutex);
        if (!guard->owner) return;
        AgentRunner* owner = guard->owner;
        QMetaObject::invokeMethod(
            owner,
            [owner, id, runNumber, reportPath, folderName, exit] {
                owner->finished(id, runNumber, reportPath, folderName, exit.success());
            },
            Qt::QueuedConnection);
    });

    setRun(record.id, AgentRun::running());
    const std::string tool =
        agentprompt::toolName(defaults_.stringValue("agentCmd").value_or("claude"));
    notify_(
        "AIエージェントに" + std::to_string(record.result.todos.size()) + "件のTODOを依頼しました",
        tool + "がバックグラウンドで作業中…");
}

void AgentRunner::finished(const std::string& recordId, std::uint64_t runNumber,
                           const std::string& reportPath, const std::string& folderName,
                           bool success) {
    const bool latest = latestRun_[recordId] == runNumber;
    if (success) {
        // Whether the tool wrote its report is not checked: its path is where to look.
        if (latest) setRun(recordId, AgentRun::done(reportPath));
        notify_("AIエージェントの作業が完了しました",
                "成果物: TAVRO/agent/" + folderName + "/REPORT.md");
    } else {
        if (latest) setRun(recordId, AgentRun::failed("agent.log を確認してください"));
        notify_("AIエージェントの作業でエラーが発生しました", "agent.log を確認してください");
    }
}

void AgentRunner::setRun(const std::string& recordId, AgentRun run) {
    runs_[recordId] = std::move(run);
    emit agentRunsChanged();
}

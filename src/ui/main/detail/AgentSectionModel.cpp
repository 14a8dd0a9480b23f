#include "ui/main/detail/AgentSectionModel.h"

#include <QPointer>
#include <QUrl>

#include "agents/AgentPrompt.h"
#include "engine/RecorderEngine.h"
#include "platform/Desktop.h"
#include "platform/FileManager.h"
#include "util/UserDefaults.h"

AgentSectionModel::AgentSectionModel(RecorderEngine& engine, UserDefaults& defaults,
                                     std::string recordID, std::function<void()> dispatch,
                                     QObject* parent)
    : QObject(parent),
      engine_(engine),
      defaults_(defaults),
      recordID_(std::move(recordID)),
      dispatch_(std::move(dispatch)),
      last_(run()),
      lastEngine_(engineName()) {
    // The engine announces every record's runs; only a change of this one redraws.
    connect(&engine_, &RecorderEngine::agentRunsChanged, this, [this] {
        auto now = run();
        if (now == last_) return;
        last_ = std::move(now);
        problem_.clear();  // a word about the previous run's report is over
        emit runChanged();
    });
    connect(&defaults_, &UserDefaults::changed, this, [this] {
        QString now = engineName();
        if (now == lastEngine_) return;
        lastEngine_ = std::move(now);
        emit engineNameChanged();
    });
}

std::optional<AgentRun> AgentSectionModel::run() const {
    const auto& runs = engine_.agentRuns();
    const auto it = runs.find(recordID_);
    if (it == runs.end()) return std::nullopt;
    return it->second;
}

AgentSectionModel::Block AgentSectionModel::block() const {
    const auto r = run();
    if (!r) return Block::start;
    switch (r->state) {
        case AgentRun::State::running:
            return Block::running;
        case AgentRun::State::done:
            return Block::done;
        case AgentRun::State::failed:
            return Block::failed;
    }
    return Block::start;
}

QString AgentSectionModel::engineName() const {
    return QString::fromStdString(
        agentprompt::toolName(defaults_.stringValue("agentCmd").value_or("claude")));
}

QString AgentSectionModel::workingText(const QString& engine) {
    return engine + QStringLiteral("がPCで完結するタスクを実行しています");
}

QString AgentSectionModel::bannerTitle(int dots) {
    return QStringLiteral("AIが作業を処理中") + QString(QChar(0x30FB)).repeated(dots);
}

QString AgentSectionModel::startLabel(bool hasItems) {
    return hasItems ? QStringLiteral("AIに今すぐ実行させる")
                    : QStringLiteral("PCで完結するTODOをAIに依頼");
}

QString AgentSectionModel::metaLine(const TodoItem& item) {
    QStringList parts;
    if (item.assignee && !item.assignee->empty())
        parts << QStringLiteral("担当: ") + QString::fromStdString(*item.assignee);
    if (item.due && !item.due->empty())
        parts << QStringLiteral("期限: ") + QString::fromStdString(*item.due);
    return parts.join(QStringLiteral("  ・  "));
}

void AgentSectionModel::dispatch() {
    if (dispatch_) dispatch_();
}

void AgentSectionModel::openFolder() {
    const auto r = run();
    if (!r || r->state != AgentRun::State::done) return;
    setProblem(QString());
    // The file manager answers later; the section may be gone by then.
    QPointer<AgentSectionModel> self(this);
    FileManager::showItem(r->reportPath, [self, path = r->reportPath](const QString& problem) {
        if (self && self->run() && self->run()->reportPath == path) self->setProblem(problem);
    });
}

void AgentSectionModel::openReport() {
    const auto r = run();
    if (!r || r->state != AgentRun::State::done) return;
    const QUrl report = QUrl::fromLocalFile(QString::fromStdString(r->reportPath));
    setProblem(Desktop::openUrl(report) ? QString() : Desktop::cannotOpenText(report));
}

void AgentSectionModel::setProblem(const QString& problem) {
    if (problem == problem_) return;
    problem_ = problem;
    emit problemChanged();
}

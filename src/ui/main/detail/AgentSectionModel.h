#pragma once
// What the agent section of the detail view shows for one record: the cards of the items handed
// to the agent and one block that follows the record's agent run as the engine publishes it.
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>

#include "agents/AgentRun.h"
#include "model/TodoItem.h"

class RecorderEngine;
class UserDefaults;

class AgentSectionModel : public QObject {
    Q_OBJECT
public:
    enum class Block { start, running, done, failed };

    static inline const QString kDoneText = QStringLiteral("AIの作業が完了しました");
    static inline const QString kFailedText = QStringLiteral("AIの作業でエラーが発生しました");
    static inline const QString kOpenFolder = QStringLiteral("フォルダを開く");
    static inline const QString kOpenReport = QStringLiteral("レポートを開く");
    static inline const QString kRerun = QStringLiteral("再実行");
    static inline const QString kRetry = QStringLiteral("もう一度実行");

    // `dispatch` hands the record (with its effective minutes) to the agent.
    AgentSectionModel(RecorderEngine& engine, UserDefaults& defaults, std::string recordID,
                      std::function<void()> dispatch, QObject* parent = nullptr);

    // The record's run, absent when none is known since the application started.
    std::optional<AgentRun> run() const;
    Block block() const;
    bool running() const { return block() == Block::running; }

    // "Codex" when the "agentCmd" setting says codex, else "Claude Code"; read now.
    QString engineName() const;
    // The banner's second line for the tool named `engine`.
    static QString workingText(const QString& engine);
    // The banner's title with `dots` middle dots (0 to 3).
    static QString bannerTitle(int dots);
    // The next of the four dot counts.
    static int nextDots(int dots) { return (dots + 1) % 4; }
    // The start button's label, by whether any items are handed to the agent.
    static QString startLabel(bool hasItems);
    // "担当: …" and "期限: …" where present and not empty, joined by "  ・  ".
    static QString metaLine(const TodoItem& item);

    // The start, "再実行" and "もう一度実行" buttons.
    void dispatch();
    // The run folder with the report selected, and the report in its default application.
    // Where the desktop cannot open them, problem() says so.
    void openFolder();
    void openReport();
    // The line naming the folder or report that did not open at the last click; empty when it
    // opened, and again when the run changes.
    const QString& problem() const { return problem_; }

signals:
    void runChanged();
    void problemChanged();
    // The "agentCmd" setting now names another tool.
    void engineNameChanged();

private:
    RecorderEngine& engine_;
    UserDefaults& defaults_;
    std::string recordID_;
    std::function<void()> dispatch_;
    std::optional<AgentRun> last_;
    QString lastEngine_;
    QString problem_;

    void setProblem(const QString& problem);
};

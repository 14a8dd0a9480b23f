#pragma once
// What the detail view's share and actions menus offer and do for one record, and the transient
// status line their requests write. Everything that leaves the view is the effective minutes
// (the stored minutes with the user's task edits), handed in by the view.
#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/ShareTarget.h"
#include "model/MinutesRecord.h"
#include "ui/main/detail/ShareEntry.h"

struct UiContext;

class DetailActionsModel : public QObject {
    Q_OBJECT
public:
    using Minutes = std::function<MinutesResult()>;
    // Runs `then` once `wait` has passed, unless this model is gone by then.
    using Delay = std::function<void(std::chrono::milliseconds wait, std::function<void()> then)>;

    static constexpr std::chrono::seconds kStatusLife{4};

    struct ExportFormat {
        QString title;       // the menu entry
        std::string format;  // sent to the service; also the file name extension
        std::string label;   // used in the status texts and the save panel
    };
    static const std::vector<ExportFormat>& exportFormats();
    // The folder of the last export that was written; save panels start there.
    static constexpr const char* kExportFolderKey = "lastExportFolder";
    // `path` ending in "." + `format` (any case): a name typed with another format's extension
    // must not get this format's content.
    static QString withExtension(const QString& path, const QString& format);

    DetailActionsModel(UiContext& ctx, std::string recordID, Minutes effectiveMinutes,
                       QObject* parent = nullptr);

    // The shown record; nullptr once it has left the store.
    const MinutesRecord* record() const;
    // The minutes as the user sees them, task edits applied.
    MinutesResult effectiveMinutes() const { return effectiveMinutes_(); }
    // The six share targets, their enablement read now.
    std::vector<ShareEntry> shareEntries() const;
    const std::optional<QString>& shareStatus() const { return status_; }
    // "AIエージェントにTODOを依頼": the record has action items and no run of it is going.
    bool canRequestAgent() const;

    // Sends the effective minutes to one integration; returns at once.
    void share(const std::string& target, const std::string& label);
    // Asks where to write, then writes Markdown here or has the service make the document.
    void exportFile(const std::string& format, const std::string& label);
    void copyMarkdown();
    // Shows the record's own Markdown file in the file manager.
    void revealInFileManager();
    // Hands the action items to the agent; ignored while the record's run is still going.
    void requestAgent();

    void setDelay(Delay delay) { delay_ = std::move(delay); }
    void setSecretReader(SecretReader reader) { readSecret_ = std::move(reader); }

signals:
    void shareStatusChanged();
    // The record's agent run changed (started, ended), and with it canRequestAgent().
    void agentChanged();

private:
    // Where a save panel starts: the last export's folder, else Documents, else home.
    QString exportFolder() const;
    // Only a written file's folder: a refused one (read-only, full) would be offered again.
    void rememberExportFolder(const std::string& writtenPath);
    // The save panel's answer with the format's extension, overwriting confirmed; nothing
    // when the user cancels.
    std::optional<std::string> askExportPath(const std::string& proposedName,
                                             const std::string& label, const std::string& format);
    std::string templateLabelOf(const MinutesRecord& record) const;
    // Each request owns the line from its latest write; its clearing only removes its own text.
    std::uint64_t beginTask();
    void setStatus(std::uint64_t task, const std::string& text);
    void clearLater(std::uint64_t task);

    UiContext& ctx_;
    std::string recordID_;
    Minutes effectiveMinutes_;
    Delay delay_;
    SecretReader readSecret_;
    std::optional<QString> status_;
    std::uint64_t statusOwner_ = 0;
    std::uint64_t taskCount_ = 0;
};

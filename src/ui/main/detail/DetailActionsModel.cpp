#include "ui/main/detail/DetailActionsModel.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>

#include "engine/RecorderEngine.h"
#include "library/CustomTemplateStore.h"
#include "library/MinutesStore.h"
#include "model/Markdown.h"
#include "platform/Clipboard.h"
#include "platform/FileManager.h"
#include "service/SecureStore.h"
#include "service/ServiceCall.h"
#include "service/TavroAPI.h"
#include "ui/UiContext.h"
#include "ui/main/detail/ExportName.h"
#include "ui/main/detail/ExportWriter.h"
#include "util/UserDefaults.h"

const std::vector<DetailActionsModel::ExportFormat>& DetailActionsModel::exportFormats() {
    static const std::vector<ExportFormat> formats = {
        {QStringLiteral("Word (.docx)"), "docx", "Word"},
        {QStringLiteral("PDF (.pdf)"), "pdf", "PDF"},
        {QStringLiteral("Markdown (.md)"), "md", "Markdown"},
    };
    return formats;
}

DetailActionsModel::DetailActionsModel(UiContext& ctx, std::string recordID,
                                       Minutes effectiveMinutes, QObject* parent)
    : QObject(parent),
      ctx_(ctx),
      recordID_(std::move(recordID)),
      effectiveMinutes_(std::move(effectiveMinutes)),
      delay_([this](std::chrono::milliseconds wait, std::function<void()> then) {
          QTimer::singleShot(wait, this, std::move(then));
      }),
      readSecret_([](const std::string& account) { return SecureStore::read(account); }) {
    connect(&ctx_.engine, &RecorderEngine::agentRunsChanged, this,
            &DetailActionsModel::agentChanged);
}

const MinutesRecord* DetailActionsModel::record() const {
    const auto& records = ctx_.store.records();
    const auto it = std::find_if(records.begin(), records.end(),
                                 [&](const MinutesRecord& r) { return r.id == recordID_; });
    return it == records.end() ? nullptr : &*it;
}

std::vector<ShareEntry> DetailActionsModel::shareEntries() const {
    return ::shareEntries(ctx_.defaults, readSecret_);
}

bool DetailActionsModel::canRequestAgent() const {
    const MinutesRecord* r = record();
    if (!r || r->result.todos.empty()) return false;
    const auto& runs = ctx_.engine.agentRuns();
    const auto it = runs.find(recordID_);
    return it == runs.end() || it->second.state != AgentRun::State::running;
}

std::string DetailActionsModel::templateLabelOf(const MinutesRecord& record) const {
    return templateLabel(record.templateId, ctx_.defaults);
}

std::uint64_t DetailActionsModel::beginTask() {
    return ++taskCount_;
}

void DetailActionsModel::setStatus(std::uint64_t task, const std::string& text) {
    statusOwner_ = task;
    status_ = QString::fromStdString(text);
    emit shareStatusChanged();
}

void DetailActionsModel::clearLater(std::uint64_t task) {
    delay_(kStatusLife, [this, task] {
        // A later request's text stays until that request clears it itself.
        if (statusOwner_ != task || !status_) return;
        status_.reset();
        emit shareStatusChanged();
    });
}

void DetailActionsModel::share(const std::string& target, const std::string& label) {
    const MinutesRecord* r = record();
    if (!r) return;
    const std::uint64_t task = beginTask();
    setStatus(task, label + "へ送信中…");
    auto config = shareConfiguration(ctx_.defaults, readSecret_);
    const MinutesResult minutes = effectiveMinutes_();
    const std::string templateName = templateLabelOf(*r);
    const std::string token = ctx_.defaults.stringValue("authToken").value_or("");
    callService(
        this,
        [target, config = std::move(config), minutes, templateName, token] {
            TavroAPI::share(target, config, minutes, templateName, token);
        },
        [this, task, label](ServiceOutcome<std::monostate> outcome) {
            setStatus(task, outcome.ok() ? label + "へ送信しました ✓"
                                         : label + "送信エラー: " + outcome.error().message());
            clearLater(task);
        });
}

void DetailActionsModel::exportFile(const std::string& format, const std::string& label) {
    const MinutesRecord* r = record();
    if (!r) return;
    // Taken before the panel: the store may change while it is open.
    const std::string proposed = exportname::proposedName(r->result.title, format);
    const MinutesResult minutes = effectiveMinutes_();
    const std::string templateName = templateLabelOf(*r);

    QPointer<DetailActionsModel> self(this);
    const auto chosen = askExportPath(proposed, label, format);
    if (!self || !chosen) return;
    const std::string path = *chosen;

    if (format == "md") {
        // Shown only when written: revealing a file that is not there would claim success.
        const std::string error = exportwriter::write(path, toMarkdown(minutes, templateName));
        if (error.empty()) {
            rememberExportFolder(path);
            FileManager::showItem(path);
            return;
        }
        const std::uint64_t task = beginTask();
        setStatus(task, label + "書き出しエラー: " + error);
        clearLater(task);
        return;
    }

    const std::uint64_t task = beginTask();
    setStatus(task, label + "を生成中…");
    // The file is written on the worker, so that it lands even when the view is gone by then.
    callService(
        this,
        [format, minutes, templateName, path] {
            return exportwriter::write(path,
                                       TavroAPI::exportDocument(format, minutes, templateName));
        },
        [this, task, label, path](ServiceOutcome<std::string> outcome) {
            const std::string error = outcome.ok() ? outcome.value() : outcome.error().message();
            if (error.empty()) {
                setStatus(task, label + "を書き出しました ✓");
                rememberExportFolder(path);
                FileManager::showItem(path);
            } else {
                setStatus(task, label + "書き出しエラー: " + error);
            }
            clearLater(task);
        });
}

QString DetailActionsModel::exportFolder() const {
    for (const QString& folder :
         {QString::fromStdString(ctx_.defaults.stringValue(kExportFolderKey).value_or("")),
          QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)}) {
        if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
    }
    return QDir::homePath();
}

void DetailActionsModel::rememberExportFolder(const std::string& writtenPath) {
    ctx_.defaults.set(kExportFolderKey,
                      QFileInfo(QString::fromStdString(writtenPath)).absolutePath().toStdString());
}

QString DetailActionsModel::withExtension(const QString& path, const QString& format) {
    const QString suffix = QLatin1Char('.') + format;
    if (path.endsWith(suffix, Qt::CaseInsensitive)) return path;
    // "x." means "x" with the extension, not "x..docx".
    return (path.endsWith(QLatin1Char('.')) ? path.chopped(1) : path) + suffix;
}

std::optional<std::string> DetailActionsModel::askExportPath(const std::string& proposedName,
                                                             const std::string& label,
                                                             const std::string& format) {
    QPointer<DetailActionsModel> self(this);
    const QString message = QString::fromStdString(label + "ファイルとして書き出し");
    const QString extension = QString::fromStdString(format);
    QString proposed = QDir(exportFolder()).filePath(QString::fromStdString(proposedName));
    for (;;) {
        const auto chosen = ctx_.dialogs.saveFile(proposed, message, extension);
        if (!self || !chosen || chosen->empty()) return std::nullopt;
        // The panel's own overwrite question saw the typed name; the file written is this one.
        const QString path = withExtension(QString::fromStdString(*chosen), extension);
        const QFileInfo file(path);
        if (!file.exists() ||
            ctx_.dialogs.confirm(
                QStringLiteral("「%1」はすでに存在します。置き換えますか？").arg(file.fileName()),
                QStringLiteral("置き換えると、今の内容は失われます。"),
                QStringLiteral("置き換える"))) {
            if (!self) return std::nullopt;
            return path.toStdString();
        }
        if (!self) return std::nullopt;
        proposed = path;  // declined: choose again, from that name
    }
}

void DetailActionsModel::copyMarkdown() {
    const MinutesRecord* r = record();
    if (!r) return;
    Clipboard::setText(toMarkdown(effectiveMinutes_(), templateLabelOf(*r)));
}

void DetailActionsModel::revealInFileManager() {
    if (const MinutesRecord* r = record()) FileManager::showItem(ctx_.store.mdURL(*r).string());
}

void DetailActionsModel::requestAgent() {
    const MinutesRecord* r = record();
    if (!r || !canRequestAgent()) return;
    MinutesRecord copy = *r;
    copy.result = effectiveMinutes_();
    ctx_.engine.dispatchAgent(copy);
}

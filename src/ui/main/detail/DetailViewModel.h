#pragma once
// The state and logic of the detail pane of one record: the chosen tab, the status line, the
// task editor's fields, and the action items with their local edits. The record is found in the
// store by id on every read, so the pane follows the record's later changes and does nothing
// once it is gone; it follows the settings it shows (the template's label, the autonomy switch)
// as they change. Every index is checked against the record's action items: a stale or
// out-of-range index does nothing and stores nothing.
#include <QLocale>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "library/EffectiveMinutes.h"
#include "model/MinutesRecord.h"

class LibraryStore;
class MinutesStore;
class UserDefaults;

class DetailViewModel : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<Timestamp()>;

    enum Tab { summaryTab = 0, actionsTab = 1, transcriptTab = 2 };
    static inline const QString kDefaultPriority = QStringLiteral("中");
    static const QStringList& priorities();  // "高", "中", "低"

    // `clock` (default: the system clock) gives "now" for the editor's presets.
    DetailViewModel(MinutesStore& store, LibraryStore& library, UserDefaults& defaults,
                    std::string recordID, Clock clock = {}, QObject* parent = nullptr);

    const std::string& recordID() const { return recordID_; }
    // The shown record, or nullptr once the store no longer holds it.
    const MinutesRecord* record() const;

    // --- Header and tabs.
    int tab() const { return tab_; }
    void setTab(int tab);
    static QStringList tabLabels(const MinutesResult& result);
    QStringList tabLabels() const;
    QString title() const;
    std::optional<QString> headerLine() const;
    // The creation time in the user's locale, " ・ " and the template's label.
    QString dateLine() const;
    // The transient status line under the tabs; its writers clear it themselves.
    const std::optional<QString>& shareStatus() const { return shareStatus_; }
    void setShareStatus(std::optional<QString> status);

    // --- The minutes with the local edits applied; computed on every read.
    EffectiveMinutes::Overrides overrides() const;
    std::optional<LibraryTaskOverride> taskOverride(std::size_t index) const;
    bool isTaskDone(std::size_t index) const;
    MinutesResult effectiveResult() const;
    std::string templateLabel() const;
    std::string markdown() const;

    // --- One action item as the rows and cards show it.
    struct ItemLook {
        QString title;
        QString assignee;
        QString due;
        QString priority;
        bool done = false;
        // "担当: …", "期限: …", "優先度: …" joined by `separator`, empty parts left out.
        QString meta(const QString& separator) const;
    };
    std::optional<ItemLook> itemLook(std::size_t index) const;
    // Positions in the record's action items: the user's (auto not set) and the agent's.
    std::vector<std::size_t> userItems() const;
    std::vector<std::size_t> aiItems() const;
    std::size_t userDoneCount() const;
    // The action tab shows the agent section: items for the agent, or autonomy switched on.
    bool showsAgentSection() const;

    // --- Changing action items.
    void toggleTask(std::size_t index);
    void setPriority(std::size_t index, const QString& priority);

    // --- The task editor, open while editingTaskIndex() is present.
    const std::optional<std::size_t>& editingTaskIndex() const { return editingTaskIndex_; }
    void beginEditingTask(std::size_t index);
    void saveEditedTask();
    void cancelEditing();
    bool canSave() const;
    const QString& taskTitle() const { return taskTitle_; }
    void setTaskTitle(const QString& v);
    const QString& taskAssignee() const { return taskAssignee_; }
    void setTaskAssignee(const QString& v) { taskAssignee_ = v; }
    bool taskHasDueDate() const { return taskHasDueDate_; }
    void setTaskHasDueDate(bool on);
    Timestamp taskDueDate() const { return taskDueDate_; }
    void setTaskDueDate(Timestamp t) {
        taskDueDate_ = t;
        keepsOwnDue_ = false;
    }
    const QString& taskPriority() const { return taskPriority_; }
    void setTaskPriority(const QString& v) { taskPriority_ = v; }

    // The creation time and override due dates: year, abbreviated month, day, hour and minute
    // in the user's locale and time zone; in Japanese where the system's locale names no
    // language.
    static QString localDateTime(Timestamp t, const QLocale& system = QLocale::system());

signals:
    // The record or its task edits changed: the pages are rebuilt.
    void contentChanged();
    // The settings changed the template's label in dateLine() or what showsAgentSection()
    // gives, the record staying as it was.
    void dateLineChanged();
    void agentSectionChanged();
    void tabChanged();
    // The editor opened, closed, or a field that governs its controls changed.
    void editorChanged();
    void shareStatusChanged();

private:
    // What the pages are built from: the record and its task edits.
    struct Snapshot {
        std::optional<MinutesRecord> record;
        EffectiveMinutes::Overrides overrides;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot snapshot() const;
    void followStores();
    void followSettings();
    const TodoItem* item(std::size_t index) const;
    void store(std::size_t index, const LibraryTaskOverride& o);

    MinutesStore& store_;
    LibraryStore& library_;
    UserDefaults& defaults_;
    std::string recordID_;
    Clock clock_;
    mutable std::size_t lastPosition_ = 0;  // where the record stood at the last lookup
    Snapshot seen_;
    std::string seenTemplateLabel_;
    bool seenAgentSection_ = false;

    int tab_ = summaryTab;
    std::optional<QString> shareStatus_;
    std::optional<std::size_t> editingTaskIndex_;
    QString taskTitle_;
    QString taskAssignee_;
    bool taskHasDueDate_ = false;
    Timestamp taskDueDate_;
    bool keepsOwnDue_ = false;  // saving leaves the item's unreadable due text as it is
    QString taskPriority_ = kDefaultPriority;
};

#pragma once
// The rows of the sidebar's list: the browser's filtered records, taken once per change of the
// list (not per paint or per row), with what a row shows of each.
#include <QAbstractListModel>
#include <QDateTime>

#include <map>
#include <set>
#include <string>
#include <vector>

class LibraryStore;
class MainViewModel;
class UserDefaults;
struct MinutesRecord;

class RecordListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        CreatedAtRole,
        TemplateNameRole,
        // The palette's colour id, or an invalid value for none (also for an unknown id).
        ColorRole,
        CheckedRole,
        SelectedRole,
        AgentRunningRole,
    };

    RecordListModel(MainViewModel& model, LibraryStore& library, UserDefaults& defaults,
                    QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // The row of a record, or -1 when the list does not hold it.
    int rowOf(const std::string& id) const;
    std::string idAt(int row) const;
    // The palette colour id the library holds for a record, or empty (also for an unknown id).
    QString colorIdOf(const std::string& id) const;
    // Which records the agent is working on now.
    void setRunningAgents(std::set<std::string> ids);
    // Whether a listed record's agent is at work.
    bool anyAgentRunning() const;
    // What an empty list says instead of rows: why it is empty. Empty while rows are listed.
    QString emptyNote() const;

private:
    void reload();
    void refreshAll(const QList<int>& roles);
    void followTemplateLabels();

    MainViewModel& model_;
    LibraryStore& library_;
    UserDefaults& defaults_;
    std::vector<const MinutesRecord*> rows_;
    std::set<std::string> running_;
    // Template labels by id: looking one up reads the custom templates.
    mutable std::map<std::string, QString> labels_;
};

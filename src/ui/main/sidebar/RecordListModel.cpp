#include "ui/main/sidebar/RecordListModel.h"

#include "library/CustomTemplateStore.h"
#include "library/LibraryStore.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/sidebar/RecordColorChoice.h"
#include "util/UserDefaults.h"

RecordListModel::RecordListModel(MainViewModel& model, LibraryStore& library,
                                 UserDefaults& defaults, QObject* parent)
    : QAbstractListModel(parent), model_(model), library_(library), defaults_(defaults) {
    connect(&model_, &MainViewModel::listChanged, this, &RecordListModel::reload);
    connect(&model_, &MainViewModel::bulkSelectionChanged, this,
            [this] { refreshAll({CheckedRole}); });
    connect(&model_, &MainViewModel::selectedIDChanged, this,
            [this] { refreshAll({SelectedRole}); });
    // A template renamed or removed in the settings shows in the rows at once, as in the detail
    // pane; the labels are compared, not the key's name.
    connect(&defaults_, &UserDefaults::changed, this, &RecordListModel::followTemplateLabels);
    reload();
}

void RecordListModel::followTemplateLabels() {
    bool moved = false;
    for (auto& [id, label] : labels_) {
        QString now = QString::fromStdString(templateLabel(id, defaults_));
        if (now == label) continue;
        label = std::move(now);
        moved = true;
    }
    if (moved) refreshAll({TemplateNameRole});
}

void RecordListModel::reload() {
    beginResetModel();
    rows_ = model_.filtered();
    labels_.clear();  // a custom template may have been renamed meanwhile
    endResetModel();
}

void RecordListModel::refreshAll(const QList<int>& roles) {
    if (!rows_.empty()) emit dataChanged(index(0), index(rowCount() - 1), roles);
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

// A scan rather than an index: it is asked for one id now and then, while an index would be
// rebuilt at every keystroke.
int RecordListModel::rowOf(const std::string& id) const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i]->id == id) return static_cast<int>(i);
    return -1;
}

std::string RecordListModel::idAt(int row) const {
    return row >= 0 && row < rowCount() ? rows_[row]->id : std::string();
}

void RecordListModel::setRunningAgents(std::set<std::string> ids) {
    if (ids == running_) return;
    running_ = std::move(ids);
    refreshAll({AgentRunningRole});
}

QString RecordListModel::colorIdOf(const std::string& id) const {
    // Read in place: a copy of the entry per painted row would be wasted.
    const auto& entries = library_.state().records;
    const auto it = entries.find(id);
    if (it == entries.end() || !it->second.color) return {};
    const std::string& color = *it->second.color;
    return RecordColorChoice::find(color) ? QString::fromStdString(color) : QString();
}

bool RecordListModel::anyAgentRunning() const {
    for (const std::string& id : running_)
        if (rowOf(id) >= 0) return true;
    return false;
}

QString RecordListModel::emptyNote() const {
    if (!rows_.empty()) return {};
    LibraryFilter narrowing = model_.filter();
    narrowing.archive = LibraryFilter::active().archive;
    if (narrowing != LibraryFilter::active())
        return QStringLiteral("条件に一致する議事録はありません");
    if (model_.archivedOnly()) return QStringLiteral("アーカイブされた議事録はありません");
    // Nothing active, yet the library is not empty: everything is in the archive.
    if (model_.hasRecords()) return QStringLiteral("すべての議事録がアーカイブにあります");
    return QStringLiteral("まだ議事録がありません");
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const MinutesRecord& r = *rows_[index.row()];
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(r.result.title);
        case IdRole:
            return QString::fromStdString(r.id);
        case CreatedAtRole:
            return QDateTime::fromMSecsSinceEpoch(
                std::chrono::duration_cast<std::chrono::milliseconds>(
                    r.createdAt.time_since_epoch())
                    .count());
        case TemplateNameRole: {
            auto it = labels_.find(r.templateId);
            if (it == labels_.end())
                it = labels_
                         .emplace(r.templateId,
                                  QString::fromStdString(templateLabel(r.templateId, defaults_)))
                         .first;
            return it->second;
        }
        case ColorRole: {
            const QString color = colorIdOf(r.id);
            return color.isEmpty() ? QVariant() : QVariant(color);
        }
        case CheckedRole:
            return model_.bulkSelection().count(r.id) > 0;
        case SelectedRole:
            return model_.selectedID() == r.id;
        case AgentRunningRole:
            return running_.count(r.id) > 0;
        default:
            return {};
    }
}

#include "ui/main/detail/DetailViewModel.h"

#include <unicode/datefmt.h>
#include <unicode/dtptngen.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <chrono>
#include <exception>
#include <memory>

#include "desktop/DateLocale.h"
#include "library/CustomTemplateStore.h"
#include "library/LibraryStore.h"
#include "library/MinutesStore.h"
#include "util/Text.h"
#include "util/UserDefaults.h"

namespace em = EffectiveMinutes;

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

QString trimmed(const QString& s) {
    return qs(text::trim(s.toStdString()));
}

}  // namespace

const QStringList& DetailViewModel::priorities() {
    static const QStringList list{QStringLiteral("高"), QStringLiteral("中"), QStringLiteral("低")};
    return list;
}

DetailViewModel::DetailViewModel(MinutesStore& store, LibraryStore& library, UserDefaults& defaults,
                                 std::string recordID, Clock clock, QObject* parent)
    : QObject(parent),
      store_(store),
      library_(library),
      defaults_(defaults),
      recordID_(std::move(recordID)),
      clock_(clock ? std::move(clock) : [] { return std::chrono::system_clock::now(); }),
      taskDueDate_(clock_()) {
    connect(&store_, &MinutesStore::recordsChanged, this, &DetailViewModel::followStores);
    connect(&library_, &LibraryStore::stateChanged, this, &DetailViewModel::followStores);
    // Any key may change what the pane shows (custom templates live under a key of their own):
    // what it shows is compared, not the key's name.
    connect(&defaults_, &UserDefaults::changed, this, &DetailViewModel::followSettings);
    seen_ = snapshot();
    seenTemplateLabel_ = templateLabel();
    seenAgentSection_ = showsAgentSection();
}

DetailViewModel::Snapshot DetailViewModel::snapshot() const {
    const MinutesRecord* r = record();
    return {r ? std::optional<MinutesRecord>(*r) : std::nullopt, overrides()};
}

// Other records' changes and library changes beside the task edits leave the pages as they are.
void DetailViewModel::followStores() {
    Snapshot now = snapshot();
    if (now == seen_) return;
    seen_ = std::move(now);
    // The pages and the header are rebuilt from the record and the settings as they are now.
    seenTemplateLabel_ = templateLabel();
    seenAgentSection_ = showsAgentSection();
    emit contentChanged();
}

void DetailViewModel::followSettings() {
    if (std::string label = templateLabel(); label != seenTemplateLabel_) {
        seenTemplateLabel_ = std::move(label);
        emit dateLineChanged();
    }
    if (const bool shows = showsAgentSection(); shows != seenAgentSection_) {
        seenAgentSection_ = shows;
        emit agentSectionChanged();
    }
}

const MinutesRecord* DetailViewModel::record() const {
    const auto& records = store_.records();
    if (lastPosition_ < records.size() && records[lastPosition_].id == recordID_)
        return &records[lastPosition_];
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].id == recordID_) {
            lastPosition_ = i;
            return &records[i];
        }
    }
    return nullptr;
}

const TodoItem* DetailViewModel::item(std::size_t index) const {
    const MinutesRecord* r = record();
    if (!r || index >= r->result.todos.size()) return nullptr;
    return &r->result.todos[index];
}

void DetailViewModel::setTab(int tab) {
    if (tab == tab_) return;
    tab_ = tab;
    emit tabChanged();
}

QStringList DetailViewModel::tabLabels(const MinutesResult& result) {
    QString actions = QStringLiteral("アクション");
    if (!result.todos.empty())
        actions += QStringLiteral(" (%1)").arg(static_cast<qulonglong>(result.todos.size()));
    return {QStringLiteral("要約"), actions, QStringLiteral("文字起こし")};
}

QStringList DetailViewModel::tabLabels() const {
    const MinutesRecord* r = record();
    return tabLabels(r ? r->result : MinutesResult{});
}

QString DetailViewModel::title() const {
    const MinutesRecord* r = record();
    return r ? qs(r->result.title) : QString();
}

std::optional<QString> DetailViewModel::headerLine() const {
    const MinutesRecord* r = record();
    if (!r) return std::nullopt;
    if (auto line = em::headerLine(r->result)) return qs(*line);
    return std::nullopt;
}

QString DetailViewModel::dateLine() const {
    const MinutesRecord* r = record();
    if (!r) return {};
    return localDateTime(r->createdAt) + QStringLiteral(" ・ ") + qs(templateLabel());
}

void DetailViewModel::setShareStatus(std::optional<QString> status) {
    if (status == shareStatus_) return;
    shareStatus_ = std::move(status);
    emit shareStatusChanged();
}

em::Overrides DetailViewModel::overrides() const {
    return library_.metadata(recordID_).taskOverrides;
}

std::optional<LibraryTaskOverride> DetailViewModel::taskOverride(std::size_t index) const {
    const TodoItem* t = item(index);
    if (!t) return std::nullopt;
    return em::taskOverride(overrides(), index, *t);
}

bool DetailViewModel::isTaskDone(std::size_t index) const {
    const auto o = taskOverride(index);
    return o && o->isCompleted.value_or(false);
}

MinutesResult DetailViewModel::effectiveResult() const {
    const MinutesRecord* r = record();
    if (!r) return {};
    return em::effectiveResult(r->result, overrides());
}

std::string DetailViewModel::templateLabel() const {
    const MinutesRecord* r = record();
    return ::templateLabel(r ? r->templateId : std::string(), defaults_);
}

std::string DetailViewModel::markdown() const {
    const MinutesRecord* r = record();
    if (!r) return {};
    return em::markdown(r->result, overrides(), templateLabel());
}

QString DetailViewModel::ItemLook::meta(const QString& separator) const {
    QStringList parts;
    if (!assignee.isEmpty()) parts << QStringLiteral("担当: ") + assignee;
    if (!due.isEmpty()) parts << QStringLiteral("期限: ") + due;
    if (!priority.isEmpty()) parts << QStringLiteral("優先度: ") + priority;
    return parts.join(separator);
}

std::optional<DetailViewModel::ItemLook> DetailViewModel::itemLook(std::size_t index) const {
    const TodoItem* t = item(index);
    if (!t) return std::nullopt;
    const auto o = em::taskOverride(overrides(), index, *t);
    // Title and assignee by the same rule as what is sent, so the row shows what leaves.
    const TodoItem shown = em::effectiveItem(*t, o);
    ItemLook look;
    look.title = qs(shown.task);
    look.assignee = qs(shown.assignee.value_or(""));
    look.due = o && o->dueDate ? localDateTime(*o->dueDate) : qs(t->due.value_or(""));
    look.priority = o && o->priority ? qs(*o->priority) : QString();
    look.done = o && o->isCompleted.value_or(false);
    return look;
}

std::vector<std::size_t> DetailViewModel::userItems() const {
    std::vector<std::size_t> out;
    if (const MinutesRecord* r = record())
        for (std::size_t i = 0; i < r->result.todos.size(); ++i)
            if (!r->result.todos[i].auto_.value_or(false)) out.push_back(i);
    return out;
}

std::vector<std::size_t> DetailViewModel::aiItems() const {
    std::vector<std::size_t> out;
    if (const MinutesRecord* r = record())
        for (std::size_t i = 0; i < r->result.todos.size(); ++i)
            if (r->result.todos[i].auto_.value_or(false)) out.push_back(i);
    return out;
}

std::size_t DetailViewModel::userDoneCount() const {
    std::size_t done = 0;
    for (std::size_t i : userItems()) done += isTaskDone(i) ? 1 : 0;
    return done;
}

bool DetailViewModel::showsAgentSection() const {
    return !aiItems().empty() || defaults_.boolOr("autoAgent", true);
}

void DetailViewModel::store(std::size_t index, const LibraryTaskOverride& o) {
    const TodoItem* t = item(index);
    if (!t) return;
    try {
        library_.setTaskOverride(o, em::taskID(*t), recordID_);
    } catch (const std::exception&) {
        // Organising edits drop the store's failure; the library keeps its last good state.
    }
}

void DetailViewModel::toggleTask(std::size_t index) {
    if (!item(index)) return;
    store(index, em::toggled(taskOverride(index)));
}

void DetailViewModel::setPriority(std::size_t index, const QString& priority) {
    if (!item(index)) return;
    LibraryTaskOverride o = taskOverride(index).value_or(LibraryTaskOverride{});
    o.priority = priority.toStdString();
    store(index, o);
}

void DetailViewModel::beginEditingTask(std::size_t index) {
    const TodoItem* t = item(index);
    if (!t) return;
    const auto o = taskOverride(index);
    taskTitle_ = qs(o && o->title ? *o->title : t->task);
    taskAssignee_ = qs(o && o->assignee ? *o->assignee : t->assignee.value_or(""));
    taskHasDueDate_ = (o && o->dueDate) || (t->due && !t->due->empty());
    const Timestamp now = clock_();
    const std::optional<Timestamp> parsed =
        o && o->dueDate ? o->dueDate : em::parseTaskDate(t->due, now);
    taskDueDate_ = parsed.value_or(now);
    // A due text that is no date the picker can show ("来週", 9999-12-31) stays the item's own
    // until the user picks a date: the preset is only a starting point.
    keepsOwnDue_ = taskHasDueDate_ && !parsed;
    taskPriority_ = o && o->priority ? qs(*o->priority) : kDefaultPriority;
    editingTaskIndex_ = index;
    emit editorChanged();
}

bool DetailViewModel::canSave() const {
    return !trimmed(taskTitle_).isEmpty();
}

void DetailViewModel::setTaskTitle(const QString& v) {
    const bool could = canSave();
    taskTitle_ = v;
    if (could != canSave()) emit editorChanged();
}

void DetailViewModel::setTaskHasDueDate(bool on) {
    if (on == taskHasDueDate_) return;
    taskHasDueDate_ = on;
    emit editorChanged();
}

void DetailViewModel::saveEditedTask() {
    if (!editingTaskIndex_) return;
    const std::size_t index = *editingTaskIndex_;
    // The button is disabled for an empty title; a direct call must not store one either.
    if (canSave() && item(index)) {
        const auto o = taskOverride(index);
        LibraryTaskOverride next;
        next.title = trimmed(taskTitle_).toStdString();
        next.assignee = trimmed(taskAssignee_).toStdString();
        if (taskHasDueDate_ && !keepsOwnDue_) next.dueDate = taskDueDate_;
        next.priority = taskPriority_.toStdString();
        next.isCompleted = o && o->isCompleted.value_or(false);
        store(index, next);
    }
    editingTaskIndex_.reset();
    emit editorChanged();
}

void DetailViewModel::cancelEditing() {
    if (!editingTaskIndex_) return;
    editingTaskIndex_.reset();
    emit editorChanged();
}

QString DetailViewModel::localDateTime(Timestamp t, const QLocale& system) {
    UErrorCode status = U_ZERO_ERROR;
    // The list's locale, not ICU's own default: that reads a locale naming no language as
    // American English.
    icu::Locale locale =
        icu::Locale::forLanguageTag(DateLocale::forDates(system).bcp47Name().toStdString(), status);
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        locale = icu::Locale::getDefault();
    }
    std::unique_ptr<icu::DateTimePatternGenerator> generator(
        icu::DateTimePatternGenerator::createInstance(locale, status));
    if (U_FAILURE(status)) return qs(localzone::format(t, "%Y-%m-%d %H:%M"));
    const icu::UnicodeString pattern =
        generator->getBestPattern(icu::UnicodeString("yMMMdjmm"), status);
    icu::SimpleDateFormat format(pattern, locale, status);
    if (U_FAILURE(status)) return qs(localzone::format(t, "%Y-%m-%d %H:%M"));
    // The process's zone as it is now, not as ICU first saw it.
    format.adoptTimeZone(icu::TimeZone::detectHostTimeZone());
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
    icu::UnicodeString out;
    format.format(static_cast<UDate>(ms), out);
    std::string utf8;
    out.toUTF8String(utf8);
    return qs(utf8);
}

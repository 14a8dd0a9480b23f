#include "ui/main/MainViewModel.h"

#include <algorithm>

#include "library/LibraryStore.h"
#include "library/MinutesStore.h"
#include "ui/UiContext.h"
#include "ui/main/LocalCalendar.h"
#include "util/UserDefaults.h"

namespace {

template <typename Item>
std::set<std::string> idsOf(const std::vector<Item>& items) {
    std::set<std::string> ids;
    for (const auto& item : items) ids.insert(item.id);
    return ids;
}

// Keeps only the ids the library still has; true when something was dropped.
bool prune(std::set<std::string>& selected, const std::set<std::string>& existing) {
    if (std::includes(existing.begin(), existing.end(), selected.begin(), selected.end()))
        return false;
    std::set<std::string> kept;
    std::set_intersection(selected.begin(), selected.end(), existing.begin(), existing.end(),
                          std::inserter(kept, kept.end()));
    selected = std::move(kept);
    return true;
}

template <typename Item>
QString filterLabel(const QString& word, const std::vector<Item>& items,
                    const std::set<std::string>& selected) {
    std::vector<const Item*> chosen;
    for (const auto& item : items)
        if (selected.count(item.id)) chosen.push_back(&item);
    if (chosen.empty()) return word;
    if (chosen.size() == 1) return QString::fromStdString(chosen.front()->name);
    return word + QString::number(chosen.size()) + QStringLiteral("件");
}

}  // namespace

MainViewModel::MainViewModel(MinutesStore& store, LibraryStore& library, UserDefaults& defaults,
                             Dialogs& dialogs, Clock clock, QObject* parent)
    : QObject(parent),
      store_(store),
      library_(library),
      defaults_(defaults),
      dialogs_(dialogs),
      folders_(library.state().folders),
      tags_(library.state().tags) {
    const Timestamp now = clock ? clock() : std::chrono::system_clock::now();
    startDate_ = localcalendar::monthBefore(now);
    endDate_ = now;
    connect(&store_, &MinutesStore::recordsChanged, this, &MainViewModel::recordsChanged);
    connect(&library_, &LibraryStore::stateChanged, this, &MainViewModel::libraryChanged);
    connect(&library_, &LibraryStore::lastErrorChanged, this, &MainViewModel::libraryErrorChanged);
    // The first search should find every record's text folded already.
    library_.prepareSearch(store_);
}

// --- State

void MainViewModel::setSelectedID(std::optional<std::string> id) {
    if (id == selectedID_) return;
    selectedID_ = std::move(id);
    emit selectedIDChanged();
}

void MainViewModel::invalidateList() {
    filtered_.reset();
}

void MainViewModel::filterChanged(bool edited) {
    invalidateList();
    emit filtersChanged();
    if (edited) emit filterEdited();
    emit listChanged();
}

void MainViewModel::setQuery(std::string query) {
    if (query == query_) return;
    query_ = std::move(query);
    filterChanged();
}

void MainViewModel::setFavoritesOnly(bool on) {
    if (on == favoritesOnly_) return;
    favoritesOnly_ = on;
    filterChanged();
}

void MainViewModel::setArchivedOnly(bool on) {
    if (on == archivedOnly_) return;
    archivedOnly_ = on;
    filterChanged();
}

void MainViewModel::setSelectedFolderIDs(IDs ids) {
    if (ids == selectedFolderIDs_) return;
    selectedFolderIDs_ = std::move(ids);
    filterChanged();
}

void MainViewModel::setSelectedTagIDs(IDs ids) {
    if (ids == selectedTagIDs_) return;
    selectedTagIDs_ = std::move(ids);
    filterChanged();
}

void MainViewModel::setParticipant(std::string participant) {
    if (participant == participant_) return;
    participant_ = std::move(participant);
    filterChanged();
}

void MainViewModel::setUseDateRange(bool on) {
    if (on == useDateRange_) return;
    useDateRange_ = on;
    filterChanged();
}

void MainViewModel::setStartDate(Timestamp t) {
    if (t == startDate_) return;
    startDate_ = t;
    filterChanged();
}

void MainViewModel::setEndDate(Timestamp t) {
    if (t == endDate_) return;
    endDate_ = t;
    filterChanged();
}

void MainViewModel::setBulkSelection(IDs ids) {
    if (ids == bulkSelection_) return;
    bulkSelection_ = std::move(ids);
    emit bulkSelectionChanged();
}

void MainViewModel::setShowOnboarding(bool on) {
    if (on == showOnboarding_) return;
    showOnboarding_ = on;
    emit presentationChanged();
}

void MainViewModel::setShowAskAll(bool on) {
    if (on == showAskAll_) return;
    showAskAll_ = on;
    emit presentationChanged();
}

void MainViewModel::setShowLibraryManager(bool on) {
    if (on == showLibraryManager_) return;
    showLibraryManager_ = on;
    emit presentationChanged();
}

// --- Derived

LibraryFilter MainViewModel::filter() const {
    LibraryFilter f = LibraryFilter::active();
    f.query = query_;
    f.favoritesOnly = favoritesOnly_;
    f.archive = archivedOnly_ ? LibraryArchiveFilter::archived : LibraryArchiveFilter::active;
    f.folderIDs = selectedFolderIDs_;
    f.tagIDs = selectedTagIDs_;
    f.participant = participant_;
    if (useDateRange_) {
        f.startDate = localcalendar::startOfDay(startDate_);
        f.endDate = localcalendar::endOfDay(endDate_);
    }
    return f;
}

const std::vector<const MinutesRecord*>& MainViewModel::filtered() const {
    const auto& records = store_.records();
    if (!filtered_ || filteredData_ != records.data() || filteredSize_ != records.size()) {
        filtered_ = library_.records(records, filter());
        filteredData_ = records.data();
        filteredSize_ = records.size();
    }
    return *filtered_;
}

const MinutesRecord* MainViewModel::selected() const {
    if (!selectedID_) return nullptr;
    for (const MinutesRecord* r : filtered())
        if (r->id == *selectedID_) return r;
    return nullptr;
}

bool MainViewModel::hasRecords() const {
    return !store_.records().empty();
}

MainViewModel::IDs MainViewModel::targets(const std::string& id) const {
    if (bulkSelection_.count(id)) return bulkSelection_;
    return {id};
}

bool MainViewModel::allFilteredSelected() const {
    const auto& shown = filtered();
    if (shown.empty()) return false;
    return std::all_of(shown.begin(), shown.end(),
                       [&](const MinutesRecord* r) { return bulkSelection_.count(r->id) > 0; });
}

void MainViewModel::toggleSelectAll() {
    if (allFilteredSelected()) {
        setBulkSelection({});
        return;
    }
    IDs ids;
    for (const MinutesRecord* r : filtered()) ids.insert(r->id);
    setBulkSelection(std::move(ids));
}

QString MainViewModel::folderFilterLabel() const {
    return filterLabel(QStringLiteral("フォルダ"), library_.state().folders, selectedFolderIDs_);
}

QString MainViewModel::tagFilterLabel() const {
    return filterLabel(QStringLiteral("タグ"), library_.state().tags, selectedTagIDs_);
}

QString MainViewModel::libraryError() const {
    // The store's message comes from the file system; say first what it means for the user.
    const auto& error = library_.lastError();
    return error ? QStringLiteral("ライブラリの変更を保存できませんでした: ") +
                       QString::fromStdString(*error)
                 : QString();
}

// --- Deleting

QString MainViewModel::deleteTitle(const MinutesRecord& record) {
    return QStringLiteral("「") + QString::fromStdString(record.result.title) +
           QStringLiteral("」を削除しますか?");
}

QString MainViewModel::bulkDeleteTitle(std::size_t count) {
    return QStringLiteral("選択した") + QString::number(count) +
           QStringLiteral("件を削除しますか?");
}

void MainViewModel::requestDelete(const MinutesRecord& given) {
    // A copy: the store's list may change while the question is open.
    const MinutesRecord record = given;
    confirmDelete_ = record;
    emit presentationChanged();
    const bool yes = dialogs_.confirm(deleteTitle(record), kDeleteMessage, kDeleteButton);
    confirmDelete_.reset();
    emit presentationChanged();
    if (yes) deleteRecord(record);
}

void MainViewModel::requestBulkDelete() {
    confirmBulkDelete_ = true;
    emit presentationChanged();
    const bool yes =
        dialogs_.confirm(bulkDeleteTitle(bulkSelection_.size()), kDeleteMessage, kDeleteButton);
    confirmBulkDelete_ = false;
    emit presentationChanged();
    if (yes) deleteBulkSelection();
}

void MainViewModel::deleteRecord(MinutesRecord record) {
    const std::string id = record.id;
    store_.remove(record);
    try {
        library_.removeMetadata({id});
    } catch (...) {
        // The record is gone all the same; its library entry merely lingers.
    }
    if (selectedID_ == id) setSelectedID(std::nullopt);
    // A deleted record must not stay marked: the bulk bar would count it.
    if (bulkSelection_.count(id)) {
        IDs rest = bulkSelection_;
        rest.erase(id);
        setBulkSelection(std::move(rest));
    }
}

void MainViewModel::deleteBulkSelection() {
    const IDs ids = bulkSelection_;
    const std::vector<MinutesRecord> snapshot = store_.records();
    for (const MinutesRecord& r : snapshot)
        if (ids.count(r.id)) store_.remove(r);
    try {
        library_.removeMetadata(ids);
    } catch (...) {
        // As for a single delete.
    }
    if (selectedID_ && ids.count(*selectedID_)) setSelectedID(std::nullopt);
    setBulkSelection({});
}

// --- Sheets

bool MainViewModel::onboardingCompleted() const {
    return defaults_.boolOr(kOnboardingKey, false);
}

void MainViewModel::appeared() {
    if (!onboardingCompleted()) setShowOnboarding(true);
}

void MainViewModel::completeOnboarding() {
    defaults_.set(kOnboardingKey, true);
    setShowOnboarding(false);
}

void MainViewModel::askAllSelected(const std::string& id) {
    setSelectedID(id);
    setShowAskAll(false);
}

// --- Changes from the stores

void MainViewModel::recordsChanged() {
    // Marks on records that no longer exist are dropped, whoever deleted them.
    const IDs existing = idsOf(store_.records());
    IDs marks = bulkSelection_;
    invalidateList();
    if (prune(marks, existing)) setBulkSelection(std::move(marks));
    emit listChanged();
}

void MainViewModel::libraryChanged() {
    invalidateList();
    const LibraryState& state = library_.state();
    if (state.folders != folders_) {
        folders_ = state.folders;
        IDs ids = selectedFolderIDs_;
        if (prune(ids, idsOf(folders_))) selectedFolderIDs_ = std::move(ids);
    }
    if (state.tags != tags_) {
        tags_ = state.tags;
        IDs ids = selectedTagIDs_;
        if (prune(ids, idsOf(tags_))) selectedTagIDs_ = std::move(ids);
    }
    // Names may have changed even when no id was dropped.
    filterChanged(false);
}

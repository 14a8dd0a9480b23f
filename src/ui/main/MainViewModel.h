#pragma once
// The main window's browsing state: search and filters, the shown record, the records marked for
// bulk work, the pending delete questions and which sheet is open. The list the window shows is
// derived from it on every read; the widgets only display it and call in.
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "library/LibraryFilter.h"
#include "library/LibraryFolder.h"
#include "library/LibraryTag.h"
#include "model/MinutesRecord.h"
#include "util/IsoDate.h"

class Dialogs;
class LibraryStore;
class MinutesStore;
class UserDefaults;

class MainViewModel : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<Timestamp()>;
    using IDs = std::set<std::string>;

    static constexpr const char* kOnboardingKey = "onboardingCompleted";
    static inline const QString kDeleteMessage = QStringLiteral("Markdownファイルも削除されます。");
    static inline const QString kDeleteButton = QStringLiteral("削除");

    // `clock` (default: the system clock) gives the moment the date range starts from.
    MainViewModel(MinutesStore& store, LibraryStore& library, UserDefaults& defaults,
                  Dialogs& dialogs, Clock clock = {}, QObject* parent = nullptr);

    // --- State. Setters publish only real changes.
    const std::optional<std::string>& selectedID() const { return selectedID_; }
    void setSelectedID(std::optional<std::string> id);
    const std::string& query() const { return query_; }
    void setQuery(std::string query);
    bool favoritesOnly() const { return favoritesOnly_; }
    void setFavoritesOnly(bool on);
    bool archivedOnly() const { return archivedOnly_; }
    void setArchivedOnly(bool on);
    const IDs& selectedFolderIDs() const { return selectedFolderIDs_; }
    void setSelectedFolderIDs(IDs ids);
    const IDs& selectedTagIDs() const { return selectedTagIDs_; }
    void setSelectedTagIDs(IDs ids);
    const std::string& participant() const { return participant_; }
    void setParticipant(std::string participant);
    bool useDateRange() const { return useDateRange_; }
    void setUseDateRange(bool on);
    Timestamp startDate() const { return startDate_; }
    void setStartDate(Timestamp t);
    Timestamp endDate() const { return endDate_; }
    void setEndDate(Timestamp t);
    const IDs& bulkSelection() const { return bulkSelection_; }
    void setBulkSelection(IDs ids);

    const std::optional<MinutesRecord>& confirmDelete() const { return confirmDelete_; }
    bool confirmBulkDelete() const { return confirmBulkDelete_; }
    bool showOnboarding() const { return showOnboarding_; }
    void setShowOnboarding(bool on);
    bool showAskAll() const { return showAskAll_; }
    void setShowAskAll(bool on);
    bool showLibraryManager() const { return showLibraryManager_; }
    void setShowLibraryManager(bool on);

    // --- Derived, computed at each call.
    LibraryFilter filter() const;
    // Pointers into MinutesStore::records(), valid until the records change.
    const std::vector<const MinutesRecord*>& filtered() const;
    // The shown record: none when nothing is selected or the filters hide it.
    const MinutesRecord* selected() const;
    // Whether the store holds any record, shown or not.
    bool hasRecords() const;
    // A row action's records: the whole bulk selection when it holds `id`, else `id` alone.
    IDs targets(const std::string& id) const;
    bool allFilteredSelected() const;
    void toggleSelectAll();
    QString folderFilterLabel() const;
    QString tagFilterLabel() const;
    // The library's last failure (a change that could not be saved), or empty; the next
    // successful change clears it.
    QString libraryError() const;

    // --- Deleting. The questions go through Dialogs; the answers act at once.
    void requestDelete(const MinutesRecord& record);
    void requestBulkDelete();
    // By value: the store's remove() must not be handed an element of its own list.
    void deleteRecord(MinutesRecord record);
    void deleteBulkSelection();
    static QString deleteTitle(const MinutesRecord& record);
    static QString bulkDeleteTitle(std::size_t count);

    // --- Sheets.
    // The window was shown: the onboarding opens until it has been completed once.
    void appeared();
    bool onboardingCompleted() const;
    void completeOnboarding();
    // The ask-across dialog chose a record.
    void askAllSelected(const std::string& id);

signals:
    // The shown list may differ: a filter, the records or the library changed.
    void listChanged();
    void selectedIDChanged();
    void bulkSelectionChanged();
    // Filter state, including the folder and tag labels.
    void filtersChanged();
    // The user changed a filter: the list that follows is another list, not the same one
    // changed. Comes before its listChanged().
    void filterEdited();
    // A delete question or a sheet opened or closed.
    void presentationChanged();
    void libraryErrorChanged();

private:
    void recordsChanged();
    void libraryChanged();
    // `edited`: by the user, rather than by a change of the library's names or lists.
    void filterChanged(bool edited = true);
    // The list is filtered once per change and kept until the next one.
    void invalidateList();

    MinutesStore& store_;
    LibraryStore& library_;
    UserDefaults& defaults_;
    Dialogs& dialogs_;

    std::optional<std::string> selectedID_;
    std::string query_;
    std::optional<MinutesRecord> confirmDelete_;
    bool confirmBulkDelete_ = false;
    bool showOnboarding_ = false;
    bool favoritesOnly_ = false;
    bool archivedOnly_ = false;
    IDs selectedFolderIDs_;
    IDs selectedTagIDs_;
    std::string participant_;
    bool useDateRange_ = false;
    Timestamp startDate_;
    Timestamp endDate_;
    IDs bulkSelection_;
    bool showAskAll_ = false;
    bool showLibraryManager_ = false;

    // The library's lists as last seen, so that only a change of them prunes the filters.
    std::vector<LibraryFolder> folders_;
    std::vector<LibraryTag> tags_;
    mutable std::optional<std::vector<const MinutesRecord*>> filtered_;
    // The store's list the cache was made over: a change seen before our own handler ran
    // still invalidates it.
    mutable const MinutesRecord* filteredData_ = nullptr;
    mutable std::size_t filteredSize_ = 0;
};

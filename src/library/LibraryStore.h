#pragma once
#include <QObject>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "library/DataDirectory.h"
#include "library/LibraryFileSystem.h"
#include "library/LibraryFilter.h"
#include "library/LibrarySearchCache.h"
#include "library/LibrarySearchPreparer.h"
#include "library/LibraryState.h"
#include "library/LibraryStoreError.h"
#include "model/MinutesRecord.h"
#include "util/UserDefaults.h"

class MinutesStore;

// The one owner of the library while the application runs. Loads "library-state.json" at
// creation, recovers from a damaged file by setting it aside, and writes the whole file
// atomically after every change. Main thread only.
//
// Changing operations throw LibraryStoreError for a refused change (state, file and
// lastError untouched), or the save failure (a std::runtime_error; lastError then holds its
// text and state is unchanged).
class LibraryStore : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<Timestamp()>;
    using RecordIDs = std::set<std::string>;

    explicit LibraryStore(QObject* parent = nullptr);
    // `clock` (default: the system clock) gives "now" for every stamp the store makes.
    LibraryStore(std::filesystem::path baseDirectory, UserDefaults& defaults,
                 LibraryFileSystem& fileManager = LibraryFileSystem::standard(), Clock clock = {},
                 QObject* parent = nullptr);
    ~LibraryStore() override;

    const LibraryState& state() const { return state_; }
    const std::optional<std::string>& lastError() const { return lastError_; }
    const std::filesystem::path& stateURL() const { return stateURL_; }

    // Loads the file again (no colour migration).
    void reload();

    // The record's entry, or the default entry when it has none.
    LibraryRecordMetadata metadata(const std::string& recordID) const;

    // The records that pass the filter, in their given order. The pointers point into
    // `records` and stay valid as long as it does.
    std::vector<const MinutesRecord*> records(const std::vector<MinutesRecord>& records,
                                              const LibraryFilter& filter) const;

    // The text the free-text search looks in: the record's texts, then the names of its tags
    // and folders, one per line.
    std::string searchableText(const MinutesRecord& record,
                               const LibraryRecordMetadata& metadata) const;

    // Prepares the search texts of the store's records on worker threads, now and whenever
    // they change, so that a search finds them ready. A search before that prepares what it
    // needs on the spot, as without this.
    void prepareSearch(MinutesStore& store);
    bool preparingSearch() const;

    // Throws std::overflow_error, writing nothing, when the largest sortOrder is already the
    // largest integer and so has no successor.
    LibraryFolder createFolder(std::string_view name);
    void renameFolder(const std::string& id, std::string_view name);
    void deleteFolder(const std::string& id);

    LibraryTag createTag(std::string_view name, const std::optional<std::string>& color = {});
    void updateTag(const std::string& id, std::string_view name,
                   const std::optional<std::string>& color);
    void deleteTag(const std::string& id);

    void setFolders(const std::set<std::string>& folderIDs, const RecordIDs& recordIDs);
    void setTags(const std::set<std::string>& tagIDs, const RecordIDs& recordIDs);
    void addTag(const std::string& tagID, const RecordIDs& recordIDs);
    void setFavorite(bool favorite, const RecordIDs& recordIDs);
    void setArchived(bool archived, const RecordIDs& recordIDs);
    void setColor(const std::optional<std::string>& color, const RecordIDs& recordIDs);
    void markSelected(const RecordIDs& recordIDs);
    void setTaskOverride(const std::optional<LibraryTaskOverride>& taskOverride,
                         const std::string& taskID, const std::string& recordID);
    void setRemoteReference(const std::optional<LibraryRemoteReference>& reference,
                            const std::string& provider, const std::string& recordID);
    void removeMetadata(const RecordIDs& recordIDs);

    static constexpr const char* kStateFileName = "library-state.json";
    static constexpr const char* kRecordColorsKey = "recordColors";
    static constexpr const char* kMigratedKey = "libraryStateMigratedLegacyColors";

signals:
    void stateChanged();
    void lastErrorChanged();
    // The background preparation has caught up with the records.
    void searchPrepared();

private:
    Timestamp now() const;
    void setState(LibraryState state);
    void setLastError(std::optional<std::string> error);

    void load();
    void save(const LibraryState& state);
    // True when the damaged file was moved aside.
    bool backUpCorruptState();
    void migrateLegacyColorsIfNeeded();
    void commit(const std::function<void(LibraryState&)>& change);
    void updateRecords(const RecordIDs& recordIDs,
                       const std::function<void(LibraryRecordMetadata&)>& body);

    const LibraryRecordMetadata& entryOrDefault(const std::string& recordID) const;
    std::string libraryPieces(const LibraryRecordMetadata& metadata, bool folded) const;
    // The ids of the tags and folders whose own names contain a query.
    struct NameHits {
        std::set<std::string> tags;
        std::set<std::string> folders;
    };
    NameHits nameHits(const LibrarySearchText::Pattern& query) const;
    bool matchesQuery(const LibrarySearchText& text, const LibraryRecordMetadata& metadata,
                      const LibrarySearchText::Pattern& query, const NameHits* hits) const;

    std::filesystem::path stateURL_;
    UserDefaults& defaults_;
    LibraryFileSystem& fileManager_;
    Clock clock_;
    LibraryState state_;
    std::optional<std::string> lastError_;
    // A damaged file that could not be moved aside still sits at stateURL_; it must not be
    // overwritten by a save.
    bool damagedFileInPlace_ = false;

    // Where each tag and folder id stands in the lists, with the names folded for search;
    // rebuilt after the state changes.
    struct NameIndex {
        std::map<std::string, std::vector<std::size_t>> tagPositions;
        std::map<std::string, std::vector<std::size_t>> folderPositions;
        std::vector<std::string> foldedTags;
        std::vector<std::string> foldedFolders;
    };
    const NameIndex& nameIndex() const;

    mutable LibrarySearchCache searchCache_;
    // Bumped whenever state_ is replaced; entry pointers kept in the cache are valid only for
    // the generation they were found in.
    std::uint64_t stateGeneration_ = 1;
    mutable std::optional<NameIndex> nameIndex_;
    // After the cache, which it fills: destroyed first.
    std::unique_ptr<LibrarySearchPreparer> preparer_;
};

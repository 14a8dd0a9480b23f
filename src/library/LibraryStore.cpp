#include "library/LibraryStore.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

#include "util/Text.h"
#include "util/Uuid.h"

namespace {

constexpr const char* kRecoveredPrefix = "ライブラリ設定を復旧しました: ";
constexpr const char* kMigrationFailedPrefix = "色設定の移行に失敗しました: ";

bool intersects(const std::set<std::string>& a, const std::set<std::string>& b) {
    const auto& small = a.size() <= b.size() ? a : b;
    const auto& large = a.size() <= b.size() ? b : a;
    return std::any_of(small.begin(), small.end(),
                       [&](const std::string& id) { return large.count(id) != 0; });
}

template <typename Item>
void checkUniqueName(const std::vector<Item>& items, const std::string& name,
                     const std::string* exceptID) {
    for (const Item& item : items) {
        if (exceptID && item.id == *exceptID) continue;
        if (text::equalsFolded(item.name, name)) throw LibraryStoreError::duplicateName(name);
    }
}

std::string preparedName(std::string_view name) {
    std::string trimmed = text::trim(name);
    if (trimmed.empty()) throw LibraryStoreError::itemNotFound();
    return trimmed;
}

template <typename Item>
bool containsID(const std::vector<Item>& items, const std::string& id) {
    return std::any_of(items.begin(), items.end(), [&](const Item& i) { return i.id == id; });
}

template <typename Item>
std::set<std::string> existingIDs(const std::vector<Item>& items,
                                  const std::set<std::string>& wanted) {
    std::set<std::string> kept;
    for (const Item& item : items) {
        if (wanted.count(item.id)) kept.insert(item.id);
    }
    return kept;
}

}  // namespace

LibraryStore::LibraryStore(QObject* parent)
    : LibraryStore(tavroDataDirectory(), UserDefaults::standard(), LibraryFileSystem::standard(),
                   {}, parent) {}

LibraryStore::LibraryStore(std::filesystem::path baseDirectory, UserDefaults& defaults,
                           LibraryFileSystem& fileManager, Clock clock, QObject* parent)
    : QObject(parent),
      stateURL_(std::move(baseDirectory) / kStateFileName),
      defaults_(defaults),
      fileManager_(fileManager),
      clock_(std::move(clock)) {
    state_ = LibraryState();
    state_.updatedAt = now();
    load();
    migrateLegacyColorsIfNeeded();
}

LibraryStore::~LibraryStore() = default;

Timestamp LibraryStore::now() const {
    return clock_ ? clock_() : std::chrono::system_clock::now();
}

void LibraryStore::setState(LibraryState state) {
    state_ = std::move(state);
    ++stateGeneration_;
    nameIndex_.reset();
    emit stateChanged();
}

void LibraryStore::setLastError(std::optional<std::string> error) {
    if (error == lastError_) return;
    lastError_ = std::move(error);
    emit lastErrorChanged();
}

// ---- loading and saving ----

void LibraryStore::reload() {
    load();
}

void LibraryStore::load() {
    auto fresh = [this] {
        LibraryState s;
        s.updatedAt = now();
        return s;
    };
    if (!fileManager_.fileExists(stateURL_)) {
        setState(fresh());
        return;
    }
    std::string failure;
    try {
        const std::string bytes = fileManager_.readFile(stateURL_);
        LibraryState decoded;
        try {
            decoded = LibraryState::fromJson(json::parse(bytes), now());
        } catch (const json::Error& e) {
            throw std::runtime_error("データが正しい形式ではないため、読み込めませんでした（" +
                                     std::string(e.what()) + "）。");
        }
        if (decoded.version > LibraryState::currentVersion) {
            throw LibraryStoreError::unsupportedVersion(decoded.version);
        }
        damagedFileInPlace_ = false;
        setState(std::move(decoded));
        setLastError(std::nullopt);
        return;
    } catch (const std::exception& e) {
        failure = e.what();
    }
    damagedFileInPlace_ = !backUpCorruptState();
    setState(fresh());
    setLastError(kRecoveredPrefix + failure);
}

bool LibraryStore::backUpCorruptState() {
    // A second damaged file within the same second gets "-2", "-3", … rather than staying in
    // place, where the next save would overwrite it.
    const std::string stamp = localzone::format(now(), "%Y%m%d-%H%M%S");
    std::filesystem::path base = stateURL_;
    base.replace_extension();
    for (int n = 1; n <= 1000; ++n) {
        const std::string suffix = n == 1 ? "" : "-" + std::to_string(n);
        std::filesystem::path target = base;
        target += ".corrupt-" + stamp + suffix + ".json";
        try {
            fileManager_.moveItem(stateURL_, target);
            return true;
        } catch (const LibraryFileSystem::FileExistsError&) {
            continue;
        } catch (const std::exception&) {
            return false;  // the file stays; the recovery message still stands
        }
    }
    return false;
}

void LibraryStore::save(const LibraryState& state) {
    if (damagedFileInPlace_) {
        if (fileManager_.fileExists(stateURL_) && !backUpCorruptState()) {
            throw std::runtime_error(
                "壊れたライブラリファイルを退避できないため、保存できませんでした。");
        }
        damagedFileInPlace_ = false;
    }
    fileManager_.createDirectories(stateURL_.parent_path());
    std::string text;
    try {
        text = state.toFileText();
    } catch (const json::Error& e) {
        throw std::runtime_error("ライブラリデータを書き出せませんでした（" +
                                 std::string(e.what()) + "）。");
    }
    fileManager_.writeAtomically(stateURL_, text);
}

void LibraryStore::commit(const std::function<void(LibraryState&)>& change) {
    LibraryState copy = state_;
    change(copy);
    copy.version = LibraryState::currentVersion;
    copy.updatedAt = now();
    try {
        save(copy);
    } catch (const std::exception& e) {
        setLastError(std::string(e.what()));
        throw;
    }
    setState(std::move(copy));
    setLastError(std::nullopt);
}

void LibraryStore::migrateLegacyColorsIfNeeded() {
    if (defaults_.boolValue(kMigratedKey).value_or(false)) return;
    const auto dict = defaults_.dictionaryValue(kRecordColorsKey);
    if (!dict || dict->empty()) return;
    std::map<std::string, std::string> colors;
    for (const auto& [id, value] : *dict) {
        const std::string* color = value.get<std::string>();
        if (!color) return;  // not a map of texts: try again at the next start
        colors.emplace(id, *color);
    }
    try {
        commit([&](LibraryState& s) {
            for (const auto& [id, color] : colors) {
                LibraryRecordMetadata& entry = s.records[id];
                if (!entry.color) entry.color = color;
            }
        });
    } catch (const std::exception& e) {
        setLastError(kMigrationFailedPrefix + std::string(e.what()));
        return;
    }
    defaults_.set(kMigratedKey, true);
}

// ---- folders and tags ----

LibraryFolder LibraryStore::createFolder(std::string_view rawName) {
    const std::string name = preparedName(rawName);
    checkUniqueName(state_.folders, name, nullptr);
    std::int64_t next = 0;
    if (!state_.folders.empty()) {
        const auto top = std::max_element(
            state_.folders.begin(), state_.folders.end(),
            [](const auto& a, const auto& b) { return a.sortOrder < b.sortOrder; });
        if (top->sortOrder == std::numeric_limits<std::int64_t>::max()) {
            throw std::overflow_error("フォルダの並び順が上限に達したため、作成できません。");
        }
        next = top->sortOrder + 1;
    }
    LibraryFolder folder{uuid::make(), name, now(), next};
    commit([&](LibraryState& s) { s.folders.push_back(folder); });
    return folder;
}

void LibraryStore::renameFolder(const std::string& id, std::string_view rawName) {
    const std::string name = preparedName(rawName);
    if (!containsID(state_.folders, id)) throw LibraryStoreError::itemNotFound();
    checkUniqueName(state_.folders, name, &id);
    commit([&](LibraryState& s) {
        std::find_if(s.folders.begin(), s.folders.end(), [&](const auto& f) {
            return f.id == id;
        })->name = name;
    });
}

void LibraryStore::deleteFolder(const std::string& id) {
    if (!containsID(state_.folders, id)) throw LibraryStoreError::itemNotFound();
    commit([&](LibraryState& s) {
        std::erase_if(s.folders, [&](const auto& f) { return f.id == id; });
        for (auto& [recordID, entry] : s.records) entry.folderIDs.erase(id);
    });
}

LibraryTag LibraryStore::createTag(std::string_view rawName,
                                   const std::optional<std::string>& color) {
    const std::string name = preparedName(rawName);
    checkUniqueName(state_.tags, name, nullptr);
    LibraryTag tag{uuid::make(), name, color, now()};
    commit([&](LibraryState& s) { s.tags.push_back(tag); });
    return tag;
}

void LibraryStore::updateTag(const std::string& id, std::string_view rawName,
                             const std::optional<std::string>& color) {
    const std::string name = preparedName(rawName);
    if (!containsID(state_.tags, id)) throw LibraryStoreError::itemNotFound();
    checkUniqueName(state_.tags, name, &id);
    commit([&](LibraryState& s) {
        auto it =
            std::find_if(s.tags.begin(), s.tags.end(), [&](const auto& t) { return t.id == id; });
        it->name = name;
        it->color = color;
    });
}

void LibraryStore::deleteTag(const std::string& id) {
    if (!containsID(state_.tags, id)) throw LibraryStoreError::itemNotFound();
    commit([&](LibraryState& s) {
        std::erase_if(s.tags, [&](const auto& t) { return t.id == id; });
        for (auto& [recordID, entry] : s.records) entry.tagIDs.erase(id);
    });
}

// ---- record entries ----

void LibraryStore::updateRecords(const RecordIDs& recordIDs,
                                 const std::function<void(LibraryRecordMetadata&)>& body) {
    if (recordIDs.empty()) return;
    commit([&](LibraryState& s) {
        for (const auto& id : recordIDs) body(s.records[id]);
    });
}

void LibraryStore::setFolders(const std::set<std::string>& folderIDs, const RecordIDs& recordIDs) {
    const auto kept = existingIDs(state_.folders, folderIDs);
    updateRecords(recordIDs, [&](LibraryRecordMetadata& m) { m.folderIDs = kept; });
}

void LibraryStore::setTags(const std::set<std::string>& tagIDs, const RecordIDs& recordIDs) {
    const auto kept = existingIDs(state_.tags, tagIDs);
    updateRecords(recordIDs, [&](LibraryRecordMetadata& m) { m.tagIDs = kept; });
}

void LibraryStore::addTag(const std::string& tagID, const RecordIDs& recordIDs) {
    if (!containsID(state_.tags, tagID)) throw LibraryStoreError::itemNotFound();
    updateRecords(recordIDs, [&](LibraryRecordMetadata& m) { m.tagIDs.insert(tagID); });
}

void LibraryStore::setFavorite(bool favorite, const RecordIDs& recordIDs) {
    updateRecords(recordIDs, [&](LibraryRecordMetadata& m) { m.isFavorite = favorite; });
}

void LibraryStore::setArchived(bool archived, const RecordIDs& recordIDs) {
    updateRecords(recordIDs, [&](LibraryRecordMetadata& m) {
        if (!archived) {
            m.archivedAt.reset();
        } else if (!m.archivedAt) {
            m.archivedAt = now();
        }
    });
}

void LibraryStore::setColor(const std::optional<std::string>& color, const RecordIDs& recordIDs) {
    updateRecords(recordIDs, [&](LibraryRecordMetadata& m) { m.color = color; });
}

void LibraryStore::markSelected(const RecordIDs& recordIDs) {
    updateRecords(recordIDs, [&](LibraryRecordMetadata& m) { m.lastSelectedAt = now(); });
}

void LibraryStore::setTaskOverride(const std::optional<LibraryTaskOverride>& taskOverride,
                                   const std::string& taskID, const std::string& recordID) {
    updateRecords({recordID}, [&](LibraryRecordMetadata& m) {
        if (taskOverride) {
            m.taskOverrides[taskID] = *taskOverride;
        } else {
            m.taskOverrides.erase(taskID);
        }
    });
}

void LibraryStore::setRemoteReference(const std::optional<LibraryRemoteReference>& reference,
                                      const std::string& provider, const std::string& recordID) {
    updateRecords({recordID}, [&](LibraryRecordMetadata& m) {
        if (reference) {
            m.remoteReferences[provider] = *reference;
        } else {
            m.remoteReferences.erase(provider);
        }
    });
}

void LibraryStore::removeMetadata(const RecordIDs& recordIDs) {
    if (recordIDs.empty()) return;
    commit([&](LibraryState& s) {
        for (const auto& id : recordIDs) s.records.erase(id);
    });
}

// ---- reading and filtering ----

const LibraryRecordMetadata& LibraryStore::entryOrDefault(const std::string& recordID) const {
    static const LibraryRecordMetadata empty;
    auto it = state_.records.find(recordID);
    return it == state_.records.end() ? empty : it->second;
}

void LibraryStore::prepareSearch(MinutesStore& store) {
    if (!preparer_) {
        preparer_ = std::make_unique<LibrarySearchPreparer>(searchCache_);
        connect(preparer_.get(), &LibrarySearchPreparer::finished, this,
                &LibraryStore::searchPrepared);
    }
    preparer_->follow(store);
}

bool LibraryStore::preparingSearch() const {
    return preparer_ && preparer_->busy();
}

LibraryRecordMetadata LibraryStore::metadata(const std::string& recordID) const {
    return entryOrDefault(recordID);
}

const LibraryStore::NameIndex& LibraryStore::nameIndex() const {
    if (!nameIndex_) {
        NameIndex index;
        for (std::size_t i = 0; i < state_.tags.size(); ++i) {
            index.tagPositions[state_.tags[i].id].push_back(i);
            index.foldedTags.push_back(LibrarySearchText::fold(state_.tags[i].name));
        }
        for (std::size_t i = 0; i < state_.folders.size(); ++i) {
            index.folderPositions[state_.folders[i].id].push_back(i);
            index.foldedFolders.push_back(LibrarySearchText::fold(state_.folders[i].name));
        }
        nameIndex_ = std::move(index);
    }
    return *nameIndex_;
}

// The tag names, then the folder names, each in list order, every one after a "\n".
std::string LibraryStore::libraryPieces(const LibraryRecordMetadata& metadata, bool folded) const {
    std::string out;
    if (metadata.tagIDs.empty() && metadata.folderIDs.empty()) return out;
    const NameIndex& index = nameIndex();
    auto append = [&](const std::set<std::string>& ids,
                      const std::map<std::string, std::vector<std::size_t>>& positions,
                      auto nameAt) {
        std::vector<std::size_t> found;
        for (const auto& id : ids) {
            auto it = positions.find(id);
            if (it != positions.end())
                found.insert(found.end(), it->second.begin(), it->second.end());
        }
        std::sort(found.begin(), found.end());
        for (std::size_t i : found) {
            out += '\n';
            out += nameAt(i);
        }
    };
    append(metadata.tagIDs, index.tagPositions, [&](std::size_t i) -> const std::string& {
        return folded ? index.foldedTags[i] : state_.tags[i].name;
    });
    append(metadata.folderIDs, index.folderPositions, [&](std::size_t i) -> const std::string& {
        return folded ? index.foldedFolders[i] : state_.folders[i].name;
    });
    return out;
}

std::string LibraryStore::searchableText(const MinutesRecord& record,
                                         const LibraryRecordMetadata& metadata) const {
    return LibrarySearchCache::recordPieces(record) + libraryPieces(metadata, false);
}

LibraryStore::NameHits LibraryStore::nameHits(const LibrarySearchText::Pattern& query) const {
    const NameIndex& index = nameIndex();
    NameHits hits;
    for (std::size_t i = 0; i < state_.tags.size(); ++i) {
        if (LibrarySearchText::occursIn(index.foldedTags[i], query.folded())) {
            hits.tags.insert(state_.tags[i].id);
        }
    }
    for (std::size_t i = 0; i < state_.folders.size(); ++i) {
        if (LibrarySearchText::occursIn(index.foldedFolders[i], query.folded())) {
            hits.folders.insert(state_.folders[i].id);
        }
    }
    return hits;
}

// `hits` is given for a query without line feeds, which can only match within one name.
bool LibraryStore::matchesQuery(const LibrarySearchText& text,
                                const LibraryRecordMetadata& metadata,
                                const LibrarySearchText::Pattern& query,
                                const NameHits* hits) const {
    if (text.contains(query)) return true;
    if (metadata.tagIDs.empty() && metadata.folderIDs.empty()) return false;
    if (hits) {
        return intersects(hits->tags, metadata.tagIDs) ||
               intersects(hits->folders, metadata.folderIDs);
    }
    const std::string names = libraryPieces(metadata, true);
    // A match may also start in the record's last characters and run on into the names.
    const std::string tail = text.suffix(query.folded().size() - 1) + names;
    return LibrarySearchText::occursIn(tail, query.folded());
}

std::vector<const MinutesRecord*> LibraryStore::records(const std::vector<MinutesRecord>& records,
                                                        const LibraryFilter& filter) const {
    std::vector<const MinutesRecord*> kept;
    std::optional<LibrarySearchText::Pattern> participant;
    std::optional<LibrarySearchText::Pattern> query;
    if (!filter.participant.empty()) participant.emplace(filter.participant);
    std::optional<NameHits> hits;
    if (!filter.query.empty()) {
        query.emplace(filter.query);
        if (query->folded().find('\n') == std::string::npos) hits = nameHits(*query);
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        const MinutesRecord& record = records[i];
        LibrarySearchCache::Slot& slot = searchCache_.slotFor(record, i);
        if (slot.metadataGeneration != stateGeneration_) {
            slot.metadata = &entryOrDefault(record.id);
            slot.metadataGeneration = stateGeneration_;
        }
        const LibraryRecordMetadata& entry = *slot.metadata;
        switch (filter.archive) {
            case LibraryArchiveFilter::active:
                if (entry.archivedAt) continue;
                break;
            case LibraryArchiveFilter::archived:
                if (!entry.archivedAt) continue;
                break;
            case LibraryArchiveFilter::all:
                break;
        }
        if (filter.favoritesOnly && !entry.isFavorite) continue;
        if (!filter.folderIDs.empty() && !intersects(filter.folderIDs, entry.folderIDs)) continue;
        if (!filter.tagIDs.empty() && !intersects(filter.tagIDs, entry.tagIDs)) continue;
        if (filter.startDate && record.createdAt < *filter.startDate) continue;
        if (filter.endDate && record.createdAt > *filter.endDate) continue;
        if (participant && !slot.participants(record).contains(*participant)) continue;
        if (query && !matchesQuery(slot.text(record), entry, *query, hits ? &*hits : nullptr)) {
            continue;
        }
        kept.push_back(&record);
    }
    searchCache_.prune(records);
    return kept;
}

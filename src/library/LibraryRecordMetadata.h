#pragma once
#include <map>
#include <optional>
#include <set>
#include <string>

#include "library/LibraryRemoteReference.h"
#include "library/LibraryTaskOverride.h"
#include "util/IsoDate.h"
#include "util/Json.h"

// The library data of one record. A record without an entry is treated as having the
// default value.
struct LibraryRecordMetadata {
    std::set<std::string> folderIDs;
    std::set<std::string> tagIDs;
    std::optional<std::string> color;
    bool isFavorite = false;
    // Present means archived.
    std::optional<Timestamp> archivedAt;
    std::optional<Timestamp> lastSelectedAt;
    // Keyed by the task id the main window derives for an action item.
    std::map<std::string, LibraryTaskOverride> taskOverrides;
    // Keyed by provider key, e.g. "tavro-share".
    std::map<std::string, LibraryRemoteReference> remoteReferences;

    bool operator==(const LibraryRecordMetadata&) const = default;

    // The five non-optional members are always written, also when empty or false.
    json::Value toJson() const;
    // Every missing or null member takes its default.
    static LibraryRecordMetadata fromJson(const json::Value& v);  // throws json::Error
};

template <>
struct std::hash<LibraryRecordMetadata> {
    std::size_t operator()(const LibraryRecordMetadata& v) const noexcept;
};

#pragma once
#include <optional>
#include <set>
#include <string>

#include "library/LibraryArchiveFilter.h"
#include "util/IsoDate.h"

// The record filter built by the main window from its sidebar and search field. In memory
// only.
struct LibraryFilter {
    std::string query;
    // A record must be in at least one of these folders (none selected: no condition).
    std::set<std::string> folderIDs;
    // A record must carry at least one of these tags (none selected: no condition).
    std::set<std::string> tagIDs;
    std::string participant;
    std::optional<Timestamp> startDate;
    std::optional<Timestamp> endDate;
    bool favoritesOnly = false;
    LibraryArchiveFilter archive = LibraryArchiveFilter::active;

    bool operator==(const LibraryFilter&) const = default;

    // The default filter, made once; the main window starts from it.
    static const LibraryFilter& active();
};

template <>
struct std::hash<LibraryFilter> {
    std::size_t operator()(const LibraryFilter& v) const noexcept;
};

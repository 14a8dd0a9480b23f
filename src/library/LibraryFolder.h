#pragma once
#include <cstdint>
#include <string>

#include "util/IsoDate.h"
#include "util/Json.h"

// A user folder, identified by `id`.
struct LibraryFolder {
    std::string id;
    std::string name;
    Timestamp createdAt;
    // Position among the folders, fixed when the folder is made.
    std::int64_t sortOrder = 0;

    bool operator==(const LibraryFolder&) const = default;

    json::Value toJson() const;
    // Every member is required.
    static LibraryFolder fromJson(const json::Value& v);  // throws json::Error
};

template <>
struct std::hash<LibraryFolder> {
    std::size_t operator()(const LibraryFolder& v) const noexcept;
};

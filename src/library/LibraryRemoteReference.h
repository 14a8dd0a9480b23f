#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "util/IsoDate.h"
#include "util/Json.h"

// The link from a record to a copy of it on a remote service.
struct LibraryRemoteReference {
    std::string provider;
    std::string remoteID;
    std::optional<std::int64_t> version;
    std::optional<Timestamp> syncedAt;

    bool operator==(const LibraryRemoteReference&) const = default;

    json::Value toJson() const;
    static LibraryRemoteReference fromJson(const json::Value& v);  // throws json::Error
};

template <>
struct std::hash<LibraryRemoteReference> {
    std::size_t operator()(const LibraryRemoteReference& v) const noexcept;
};

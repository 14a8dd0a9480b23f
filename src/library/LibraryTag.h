#pragma once
#include <optional>
#include <string>

#include "util/IsoDate.h"
#include "util/Json.h"

// A user tag, identified by `id`.
struct LibraryTag {
    std::string id;
    std::string name;
    // Identifier of the tag's colour; absent means no colour. Never validated here.
    std::optional<std::string> color;
    Timestamp createdAt;

    bool operator==(const LibraryTag&) const = default;

    json::Value toJson() const;
    // "color" may be missing; every other member is required.
    static LibraryTag fromJson(const json::Value& v);  // throws json::Error
};

template <>
struct std::hash<LibraryTag> {
    std::size_t operator()(const LibraryTag& v) const noexcept;
};

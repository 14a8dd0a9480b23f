#pragma once
#include <optional>
#include <string>

#include "util/IsoDate.h"
#include "util/Json.h"

// Local edits of one action item. An absent field leaves the minutes' own value in force.
struct LibraryTaskOverride {
    std::optional<std::string> title;
    std::optional<std::string> assignee;
    std::optional<Timestamp> dueDate;
    std::optional<std::string> priority;
    std::optional<bool> isCompleted;

    bool operator==(const LibraryTaskOverride&) const = default;

    // Only present fields are written, so an override with nothing set is "{}".
    json::Value toJson() const;
    static LibraryTaskOverride fromJson(const json::Value& v);  // throws json::Error
};

template <>
struct std::hash<LibraryTaskOverride> {
    std::size_t operator()(const LibraryTaskOverride& v) const noexcept;
};

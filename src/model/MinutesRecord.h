#pragma once
#include <string>

#include "model/MinutesResult.h"
#include "util/IsoDate.h"

// One stored record, identified by `id` (a canonical upper-case UUID).
struct MinutesRecord {
    std::string id;
    Timestamp createdAt;
    std::string templateId;
    std::string sourceName;
    MinutesResult result;

    bool operator==(const MinutesRecord&) const = default;

    // createdAt is written as ISO-8601 in UTC with whole seconds.
    json::Value toJson() const;
    // createdAt must be ISO-8601 with a zone designator and no fraction.
    static MinutesRecord fromJson(const json::Value& v);  // throws json::Error
};

template <>
struct std::hash<MinutesRecord> {
    std::size_t operator()(const MinutesRecord& v) const noexcept;
};

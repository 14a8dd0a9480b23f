#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "util/Json.h"

// One point of a headed section. The service may send a bare string for a point, and may send
// unusable refs; both are accepted.
struct MinutesPoint {
    std::string text;
    std::optional<std::vector<std::int64_t>> refs;

    bool operator==(const MinutesPoint&) const = default;

    // Always an object, also for a point read from a bare string.
    json::Value toJson() const;
    static MinutesPoint fromJson(const json::Value& v);  // throws json::Error
};

template <>
struct std::hash<MinutesPoint> {
    std::size_t operator()(const MinutesPoint& v) const noexcept;
};

#pragma once
#include <optional>
#include <string>
#include <vector>

#include "util/Json.h"

// Facts of the meeting, each optional.
struct MinutesMeta {
    std::optional<std::string> date;
    std::optional<std::string> location;
    std::optional<std::vector<std::string>> attendees;

    bool operator==(const MinutesMeta&) const = default;

    json::Value toJson() const;
    static MinutesMeta fromJson(const json::Value& v);  // throws json::Error
};

template <>
struct std::hash<MinutesMeta> {
    std::size_t operator()(const MinutesMeta& v) const noexcept;
};

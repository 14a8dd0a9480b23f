#pragma once
#include <string>
#include <vector>

#include "model/MinutesPoint.h"

struct MinutesSection {
    std::string heading;
    std::vector<MinutesPoint> points;

    bool operator==(const MinutesSection&) const = default;

    json::Value toJson() const;
    static MinutesSection fromJson(const json::Value& v);  // throws json::Error
};

template <>
struct std::hash<MinutesSection> {
    std::size_t operator()(const MinutesSection& v) const noexcept;
};

#include "model/MinutesSection.h"

#include "util/Hash.h"

json::Value MinutesSection::toJson() const {
    json::Value points_ = json::Value::array();
    for (const auto& p : points) points_.push_back(p.toJson());
    return json::Value{{"heading", heading}, {"points", std::move(points_)}};
}

MinutesSection MinutesSection::fromJson(const json::Value& v) {
    json::asObject(v, "section");
    MinutesSection s{json::requireString(v, "heading"), {}};
    const auto& points = json::requireArray(v, "points");
    s.points.reserve(points.size());
    for (const auto& p : points) s.points.push_back(MinutesPoint::fromJson(p));
    return s;
}

std::size_t std::hash<MinutesSection>::operator()(const MinutesSection& v) const noexcept {
    return hashing::of(v.heading, v.points);
}

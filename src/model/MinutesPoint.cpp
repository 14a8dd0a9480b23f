#include "model/MinutesPoint.h"

#include "util/Hash.h"

json::Value MinutesPoint::toJson() const {
    json::Value o = json::Value::object();
    o["text"] = text;
    json::putOptional(o, "refs", refs);
    return o;
}

MinutesPoint MinutesPoint::fromJson(const json::Value& v) {
    if (v.is_string()) return MinutesPoint{json::asString(v, "point"), std::nullopt};
    json::asObject(v, "point");
    MinutesPoint p{json::requireString(v, "text"), std::nullopt};
    // refs are informational: anything that is not a list of integers is dropped, not fatal.
    if (auto it = v.find("refs"); it != v.end() && it->is_array()) {
        std::vector<std::int64_t> refs;
        refs.reserve(it->size());
        for (const auto& e : *it) {
            if (!json::isInteger(e)) return p;
            refs.push_back(json::asInt(e, "refs"));
        }
        p.refs = std::move(refs);
    }
    return p;
}

std::size_t std::hash<MinutesPoint>::operator()(const MinutesPoint& v) const noexcept {
    return hashing::of(v.text, v.refs);
}

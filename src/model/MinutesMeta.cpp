#include "model/MinutesMeta.h"

#include "util/Hash.h"

json::Value MinutesMeta::toJson() const {
    json::Value o = json::Value::object();
    json::putOptional(o, "date", date);
    json::putOptional(o, "location", location);
    json::putOptional(o, "attendees", attendees);
    return o;
}

MinutesMeta MinutesMeta::fromJson(const json::Value& v) {
    json::asObject(v, "meta");
    return MinutesMeta{json::optionalString(v, "date"), json::optionalString(v, "location"),
                       json::optionalStringArray(v, "attendees")};
}

std::size_t std::hash<MinutesMeta>::operator()(const MinutesMeta& v) const noexcept {
    return hashing::of(v.date, v.location, v.attendees);
}

#include "model/MinutesRecord.h"

#include "util/Hash.h"

json::Value MinutesRecord::toJson() const {
    return json::Value{{"id", id},
                       {"createdAt", iso8601::format(createdAt)},
                       {"templateId", templateId},
                       {"sourceName", sourceName},
                       {"result", result.toJson()}};
}

MinutesRecord MinutesRecord::fromJson(const json::Value& v) {
    json::asObject(v, "record");
    MinutesRecord r;
    r.id = json::requireString(v, "id");
    const auto created = json::requireString(v, "createdAt");
    const auto when = iso8601::parse(created);
    if (!when) throw json::Error("createdAt: not an ISO-8601 date-time: " + created);
    r.createdAt = *when;
    r.templateId = json::requireString(v, "templateId");
    r.sourceName = json::requireString(v, "sourceName");
    r.result = MinutesResult::fromJson(json::requireObject(v, "result"));
    return r;
}

std::size_t std::hash<MinutesRecord>::operator()(const MinutesRecord& v) const noexcept {
    return hashing::of(v.id, v.createdAt.time_since_epoch().count(), v.templateId, v.sourceName,
                       v.result);
}

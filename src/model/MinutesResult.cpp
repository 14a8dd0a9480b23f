#include "model/MinutesResult.h"

#include "util/Hash.h"

namespace {

template <typename List>
json::Value arrayOf(const List& items) {
    json::Value a = json::Value::array();
    for (const auto& item : items) a.push_back(item.toJson());
    return a;
}

template <typename T>
std::vector<T> decodeAll(const json::Value& array) {
    std::vector<T> out;
    out.reserve(array.size());
    for (const auto& e : array) out.push_back(T::fromJson(e));
    return out;
}

}  // namespace

json::Value MinutesResult::toJson() const {
    json::Value o = json::Value::object();
    o["title"] = title;
    if (meta) o["meta"] = meta->toJson();
    o["summary"] = summary;
    o["keyPoints"] = keyPoints;
    o["decisions"] = decisions;
    o["todos"] = arrayOf(todos);
    if (sections) o["sections"] = arrayOf(*sections);
    o["transcript"] = arrayOf(transcript);
    return o;
}

MinutesResult MinutesResult::fromJson(const json::Value& v) {
    json::asObject(v, "result");
    MinutesResult r;
    r.title = json::requireString(v, "title");
    if (const auto* meta = json::optionalObject(v, "meta")) r.meta = MinutesMeta::fromJson(*meta);
    r.summary = json::requireString(v, "summary");
    r.keyPoints = json::requireStringArray(v, "keyPoints");
    r.decisions = json::requireStringArray(v, "decisions");
    r.todos = decodeAll<TodoItem>(json::requireArray(v, "todos"));
    if (const auto* sections = json::optionalArray(v, "sections"))
        r.sections = decodeAll<MinutesSection>(*sections);
    r.transcript = decodeAll<TranscriptLine>(json::requireArray(v, "transcript"));
    return r;
}

std::size_t std::hash<MinutesResult>::operator()(const MinutesResult& v) const noexcept {
    return hashing::of(v.title, v.meta, v.summary, v.keyPoints, v.decisions, v.todos, v.sections,
                       v.transcript);
}

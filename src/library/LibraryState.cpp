#include "library/LibraryState.h"

#include "library/LibraryCoding.h"

json::Value LibraryState::toJson() const {
    json::Value o = json::Value::object();
    o["version"] = version;
    json::Value fs = json::Value::array();
    for (const auto& f : folders) fs.push_back(f.toJson());
    o["folders"] = std::move(fs);
    json::Value ts = json::Value::array();
    for (const auto& t : tags) ts.push_back(t.toJson());
    o["tags"] = std::move(ts);
    json::Value rs = json::Value::object();
    for (const auto& [id, m] : records) rs[id] = m.toJson();
    o["records"] = std::move(rs);
    o["updatedAt"] = librarycoding::dateValue(updatedAt);
    return o;
}

LibraryState LibraryState::fromJson(const json::Value& v, Timestamp now) {
    json::asObject(v, "library state");
    LibraryState s;
    s.version = json::optionalInt(v, "version").value_or(currentVersion);
    if (const json::Value* fs = json::optionalArray(v, "folders")) {
        for (const auto& f : *fs) s.folders.push_back(LibraryFolder::fromJson(f));
    }
    if (const json::Value* ts = json::optionalArray(v, "tags")) {
        for (const auto& t : *ts) s.tags.push_back(LibraryTag::fromJson(t));
    }
    if (const json::Value* rs = json::optionalObject(v, "records")) {
        for (const auto& [id, m] : rs->items()) {
            s.records.emplace(id, LibraryRecordMetadata::fromJson(m));
        }
    }
    s.updatedAt = librarycoding::optionalDate(v, "updatedAt").value_or(now);
    return s;
}

std::string LibraryState::toFileText() const {
    return json::dumpPretty(toJson());
}

std::size_t std::hash<LibraryState>::operator()(const LibraryState& v) const noexcept {
    std::size_t seed = hashing::of(v.version, v.folders, v.tags);
    librarycoding::feedMap(seed, v.records);
    librarycoding::feedTime(seed, v.updatedAt);
    return seed;
}

#include "library/LibraryRecordMetadata.h"

#include "library/LibraryCoding.h"

json::Value LibraryRecordMetadata::toJson() const {
    json::Value o = json::Value::object();
    o["folderIDs"] = librarycoding::setValue(folderIDs);
    o["tagIDs"] = librarycoding::setValue(tagIDs);
    json::putOptional(o, "color", color);
    o["isFavorite"] = isFavorite;
    if (archivedAt) o["archivedAt"] = librarycoding::dateValue(*archivedAt);
    if (lastSelectedAt) o["lastSelectedAt"] = librarycoding::dateValue(*lastSelectedAt);
    json::Value overrides = json::Value::object();
    for (const auto& [taskID, o2] : taskOverrides) overrides[taskID] = o2.toJson();
    o["taskOverrides"] = std::move(overrides);
    json::Value refs = json::Value::object();
    for (const auto& [provider, r] : remoteReferences) refs[provider] = r.toJson();
    o["remoteReferences"] = std::move(refs);
    return o;
}

LibraryRecordMetadata LibraryRecordMetadata::fromJson(const json::Value& v) {
    json::asObject(v, "record metadata");
    LibraryRecordMetadata m;
    m.folderIDs = librarycoding::stringSet(v, "folderIDs");
    m.tagIDs = librarycoding::stringSet(v, "tagIDs");
    m.color = json::optionalString(v, "color");
    m.isFavorite = json::optionalBool(v, "isFavorite").value_or(false);
    m.archivedAt = librarycoding::optionalDate(v, "archivedAt");
    m.lastSelectedAt = librarycoding::optionalDate(v, "lastSelectedAt");
    if (const json::Value* overrides = json::optionalObject(v, "taskOverrides")) {
        for (const auto& [taskID, value] : overrides->items()) {
            m.taskOverrides.emplace(taskID, LibraryTaskOverride::fromJson(value));
        }
    }
    if (const json::Value* refs = json::optionalObject(v, "remoteReferences")) {
        for (const auto& [provider, value] : refs->items()) {
            m.remoteReferences.emplace(provider, LibraryRemoteReference::fromJson(value));
        }
    }
    return m;
}

std::size_t std::hash<LibraryRecordMetadata>::operator()(
    const LibraryRecordMetadata& v) const noexcept {
    std::size_t seed = 0;
    librarycoding::feedSet(seed, v.folderIDs);
    librarycoding::feedSet(seed, v.tagIDs);
    hashing::feed(seed, v.color);
    hashing::feed(seed, v.isFavorite);
    librarycoding::feedTime(seed, v.archivedAt);
    librarycoding::feedTime(seed, v.lastSelectedAt);
    librarycoding::feedMap(seed, v.taskOverrides);
    librarycoding::feedMap(seed, v.remoteReferences);
    return seed;
}

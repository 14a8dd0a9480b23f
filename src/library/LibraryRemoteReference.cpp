#include "library/LibraryRemoteReference.h"

#include "library/LibraryCoding.h"

json::Value LibraryRemoteReference::toJson() const {
    json::Value o = json::Value::object();
    o["provider"] = provider;
    o["remoteID"] = remoteID;
    json::putOptional(o, "version", version);
    if (syncedAt) o["syncedAt"] = librarycoding::dateValue(*syncedAt);
    return o;
}

LibraryRemoteReference LibraryRemoteReference::fromJson(const json::Value& v) {
    json::asObject(v, "remote reference");
    LibraryRemoteReference r;
    r.provider = json::requireString(v, "provider");
    r.remoteID = json::requireString(v, "remoteID");
    r.version = json::optionalInt(v, "version");
    r.syncedAt = librarycoding::optionalDate(v, "syncedAt");
    return r;
}

std::size_t std::hash<LibraryRemoteReference>::operator()(
    const LibraryRemoteReference& v) const noexcept {
    std::size_t seed = hashing::of(v.provider, v.remoteID, v.version);
    librarycoding::feedTime(seed, v.syncedAt);
    return seed;
}

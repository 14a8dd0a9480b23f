#include "library/LibraryFolder.h"

#include "library/LibraryCoding.h"

json::Value LibraryFolder::toJson() const {
    json::Value o = json::Value::object();
    o["id"] = id;
    o["name"] = name;
    o["createdAt"] = librarycoding::dateValue(createdAt);
    o["sortOrder"] = sortOrder;
    return o;
}

LibraryFolder LibraryFolder::fromJson(const json::Value& v) {
    json::asObject(v, "folder");
    LibraryFolder f;
    f.id = json::requireString(v, "id");
    f.name = json::requireString(v, "name");
    f.createdAt = librarycoding::requireDate(v, "createdAt");
    f.sortOrder = json::requireInt(v, "sortOrder");
    return f;
}

std::size_t std::hash<LibraryFolder>::operator()(const LibraryFolder& v) const noexcept {
    std::size_t seed = hashing::of(v.id, v.name);
    librarycoding::feedTime(seed, v.createdAt);
    hashing::feed(seed, v.sortOrder);
    return seed;
}

#include "library/LibraryTag.h"

#include "library/LibraryCoding.h"

json::Value LibraryTag::toJson() const {
    json::Value o = json::Value::object();
    o["id"] = id;
    o["name"] = name;
    json::putOptional(o, "color", color);
    o["createdAt"] = librarycoding::dateValue(createdAt);
    return o;
}

LibraryTag LibraryTag::fromJson(const json::Value& v) {
    json::asObject(v, "tag");
    LibraryTag t;
    t.id = json::requireString(v, "id");
    t.name = json::requireString(v, "name");
    t.color = json::optionalString(v, "color");
    t.createdAt = librarycoding::requireDate(v, "createdAt");
    return t;
}

std::size_t std::hash<LibraryTag>::operator()(const LibraryTag& v) const noexcept {
    std::size_t seed = hashing::of(v.id, v.name, v.color);
    librarycoding::feedTime(seed, v.createdAt);
    return seed;
}

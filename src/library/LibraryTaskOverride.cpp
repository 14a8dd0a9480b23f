#include "library/LibraryTaskOverride.h"

#include "library/LibraryCoding.h"

json::Value LibraryTaskOverride::toJson() const {
    json::Value o = json::Value::object();
    json::putOptional(o, "title", title);
    json::putOptional(o, "assignee", assignee);
    if (dueDate) o["dueDate"] = librarycoding::dateValue(*dueDate);
    json::putOptional(o, "priority", priority);
    json::putOptional(o, "isCompleted", isCompleted);
    return o;
}

LibraryTaskOverride LibraryTaskOverride::fromJson(const json::Value& v) {
    json::asObject(v, "task override");
    LibraryTaskOverride t;
    t.title = json::optionalString(v, "title");
    t.assignee = json::optionalString(v, "assignee");
    t.dueDate = librarycoding::optionalDate(v, "dueDate");
    t.priority = json::optionalString(v, "priority");
    t.isCompleted = json::optionalBool(v, "isCompleted");
    return t;
}

std::size_t std::hash<LibraryTaskOverride>::operator()(
    const LibraryTaskOverride& v) const noexcept {
    std::size_t seed = hashing::of(v.title, v.assignee);
    librarycoding::feedTime(seed, v.dueDate);
    hashing::feed(seed, v.priority);
    hashing::feed(seed, v.isCompleted);
    return seed;
}

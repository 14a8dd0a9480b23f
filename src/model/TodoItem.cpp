#include "model/TodoItem.h"

#include "util/Hash.h"

json::Value TodoItem::toJson() const {
    json::Value o = json::Value::object();
    o["task"] = task;
    json::putOptional(o, "assignee", assignee);
    json::putOptional(o, "due", due);
    json::putOptional(o, "refs", refs);
    json::putOptional(o, "auto", auto_);
    return o;
}

TodoItem TodoItem::fromJson(const json::Value& v) {
    json::asObject(v, "todo");
    return TodoItem{json::requireString(v, "task"), json::optionalString(v, "assignee"),
                    json::optionalString(v, "due"), json::optionalIntArray(v, "refs"),
                    json::optionalBool(v, "auto")};
}

std::size_t std::hash<TodoItem>::operator()(const TodoItem& v) const noexcept {
    return hashing::of(v.task, v.assignee, v.due, v.refs, v.auto_);
}

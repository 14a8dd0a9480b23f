#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "util/Json.h"

// One action item of the minutes.
struct TodoItem {
    std::string task;
    std::optional<std::string> assignee;
    std::optional<std::string> due;
    std::optional<std::vector<std::int64_t>> refs;
    // True hands the item to the local AI agent; absent and false both mean no.
    std::optional<bool> auto_;  // "auto" in JSON; a C++ keyword

    bool operator==(const TodoItem&) const = default;

    json::Value toJson() const;
    static TodoItem fromJson(const json::Value& v);  // throws json::Error
};

template <>
struct std::hash<TodoItem> {
    std::size_t operator()(const TodoItem& v) const noexcept;
};

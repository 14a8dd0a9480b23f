#pragma once
#include <string>

#include "util/Json.h"

// A user template imported from an existing minutes document.
struct CustomTemplate {
    std::string id;
    std::string label;
    std::string detail;
    // Sent to the service with every recording made with this template.
    std::string instruction;

    bool operator==(const CustomTemplate&) const = default;

    json::Value toJson() const;
    static CustomTemplate fromJson(const json::Value& v);  // throws json::Error
};

template <>
struct std::hash<CustomTemplate> {
    std::size_t operator()(const CustomTemplate& v) const noexcept;
};

#pragma once
#include <optional>
#include <string>
#include <vector>

#include "model/MinutesMeta.h"
#include "model/MinutesSection.h"
#include "model/TodoItem.h"
#include "model/Transcript.h"

// The minutes of one meeting, as the service returns them.
struct MinutesResult {
    std::string title;
    std::optional<MinutesMeta> meta;
    std::string summary;
    std::vector<std::string> keyPoints;
    std::vector<std::string> decisions;
    std::vector<TodoItem> todos;
    // When present and non-empty, these take the place of key points and decisions in Markdown.
    std::optional<std::vector<MinutesSection>> sections;
    Transcript transcript;

    bool operator==(const MinutesResult&) const = default;

    json::Value toJson() const;
    // Strict: one malformed part fails the whole result.
    static MinutesResult fromJson(const json::Value& v);  // throws json::Error
};

template <>
struct std::hash<MinutesResult> {
    std::size_t operator()(const MinutesResult& v) const noexcept;
};

#pragma once
#include <optional>
#include <string>

#include "util/Json.h"

// One utterance of the transcript.
struct TranscriptLine {
    std::string speaker;
    std::optional<std::string> time;
    std::string text;

    bool operator==(const TranscriptLine&) const = default;

    json::Value toJson() const;
    static TranscriptLine fromJson(const json::Value& v);  // throws json::Error
};

template <>
struct std::hash<TranscriptLine> {
    std::size_t operator()(const TranscriptLine& v) const noexcept;
};

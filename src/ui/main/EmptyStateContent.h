#pragma once
// What the detail column's placeholder shows for the recorder's phase: a spinner while minutes
// are made, the recording clock while recording, and otherwise a hint with the last error.
#include <QString>

#include <optional>
#include <string>

#include "engine/RecorderControl.h"

struct EmptyStateContent {
    enum class Kind { idle, recording, processing };

    Kind kind = Kind::idle;
    QString title;  // processing: the message; recording: the clock
    QString hint;   // a secondary line; empty while processing
    // Idle only: the last error verbatim, shown even when it is an empty text.
    std::optional<QString> error;

    bool operator==(const EmptyStateContent&) const = default;

    static EmptyStateContent forState(RecorderControl::Phase phase, int elapsed,
                                      const std::optional<std::string>& lastError);
};

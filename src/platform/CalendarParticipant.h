#pragma once
// An attendee or organiser of a calendar event.
#include <optional>
#include <string>

enum class ParticipantStatus {
    unknown = 0,
    pending = 1,
    accepted = 2,
    declined = 3,
    tentative = 4,
    delegated = 5,
    completed = 6,
    inProcess = 7,
};

enum class ParticipantRole {
    unknown = 0,
    required = 1,
    optional = 2,
    chair = 3,
    nonParticipant = 4,
};

struct CalendarParticipant {
    // The calendar address as written, usually "mailto:…".
    std::string url;
    std::optional<std::string> name;
    bool isCurrentUser = false;
    ParticipantStatus status = ParticipantStatus::unknown;
    ParticipantRole role = ParticipantRole::unknown;

    bool operator==(const CalendarParticipant&) const = default;
};

#pragma once
// One participant of a calendar meeting, as the desktop shows it.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "platform/CalendarParticipant.h"

struct MeetingAttendee {
    std::string id;
    std::string name;
    std::optional<std::string> email;
    bool isCurrentUser = false;
    std::string status;
    std::string role;

    bool operator==(const MeetingAttendee&) const = default;
};

template <>
struct std::hash<MeetingAttendee> {
    std::size_t operator()(const MeetingAttendee& v) const noexcept;
};

MeetingAttendee makeAttendee(const CalendarParticipant& participant);

std::string participantStatusLabel(ParticipantStatus status);
std::string participantRoleLabel(ParticipantRole role);

// The address of a "mailto:" calendar address, percent-decoded; absent for any other scheme
// and when the escapes do not decode to UTF-8 text.
std::optional<std::string> mailtoAddress(const std::string& url);

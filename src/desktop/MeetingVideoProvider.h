#pragma once
// The online meeting service behind a meeting link. The raw value is also the display name.
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

enum class MeetingVideoProvider { zoom, googleMeet, microsoftTeams, other };

std::string_view rawValue(MeetingVideoProvider provider);

// Exactly the four raw values; anything else (other spelling, other case) gives nothing.
std::optional<MeetingVideoProvider> meetingVideoProviderFromRawValue(std::string_view raw);

template <>
struct std::hash<MeetingVideoProvider> {
    std::size_t operator()(MeetingVideoProvider p) const noexcept {
        return std::hash<std::string_view>{}(rawValue(p));
    }
};

#include "desktop/MeetingVideoProvider.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<MeetingVideoProvider, std::string_view>, 4> kRawValues{{
    {MeetingVideoProvider::zoom, "Zoom"},
    {MeetingVideoProvider::googleMeet, "Google Meet"},
    {MeetingVideoProvider::microsoftTeams, "Microsoft Teams"},
    {MeetingVideoProvider::other, "オンライン会議"},
}};

}  // namespace

std::string_view rawValue(MeetingVideoProvider provider) {
    for (const auto& [p, raw] : kRawValues) {
        if (p == provider) return raw;
    }
    return {};
}

std::optional<MeetingVideoProvider> meetingVideoProviderFromRawValue(std::string_view raw) {
    for (const auto& [p, value] : kRawValues) {
        if (value == raw) return p;
    }
    return std::nullopt;
}

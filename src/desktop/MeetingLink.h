#pragma once
// Finding the video-meeting link of an event, and naming its provider.
#include <optional>
#include <string>
#include <string_view>

#include "desktop/MeetingVideoProvider.h"
#include "platform/CalendarEvent.h"

// The first link to a known meeting host in the event's URL, then its location, then its
// notes; within one text, from left to right. Links to other hosts are passed over.
std::optional<std::string> extractMeetingURL(const CalendarEvent& event);

// The first meeting link in one text, by the same rules.
std::optional<std::string> findMeetingURL(std::string_view text);

// The provider of a meeting link; absent exactly when there is no link.
std::optional<MeetingVideoProvider> meetingVideoProvider(const std::optional<std::string>& url);

#pragma once
// The desktop's calendar application: the default handler of text/calendar, as the desktop's
// application settings record it.
#include <optional>
#include <string>

namespace CalendarApplication {

// Its display name; nothing when no application is set up for calendars.
std::optional<std::string> name();
// Starts it. False when there is none or it could not be started.
bool launch();

}  // namespace CalendarApplication

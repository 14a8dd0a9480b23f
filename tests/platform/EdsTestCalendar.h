#pragma once
// Test-side access to the calendar service on the private test bus: whether it is there, and a
// second client that writes events the way another program would.
#include <string>

#include "support/TestEnv.h"

namespace edstest {

// The test environment's session bus can start the calendar service.
testsupport::EnvProbe probe();

// Adds an event to the built-in local calendar.
bool addEvent(const std::string& vevent);
void removeEvent(const std::string& uid);

// Makes `address` one of the user's own addresses (a mail identity).
bool addUserAddress(const std::string& address);

// iCalendar UTC text of a time `secondsFromNow` away.
std::string utcStamp(long long secondsFromNow);

}  // namespace edstest

#pragma once
#include <string>

namespace uuid {

// A random (version 4) UUID from the system's random source, in canonical upper-case text:
// "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
std::string make();

// True for canonical 8-4-4-4-12 hexadecimal text (either case).
bool isCanonical(const std::string& text);

}  // namespace uuid

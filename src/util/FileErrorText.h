#pragma once
// What went wrong with a file, in the words the user reads.
#include <string>

namespace fileerror {

// The common causes of a failed write (no permission, read-only file system, disk full,
// missing folder) in Japanese; any other error in the system's own words.
std::string text(int err);

}  // namespace fileerror

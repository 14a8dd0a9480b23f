#pragma once
// Writes an exported document whole: into a temporary file beside the target that replaces it
// only once everything is on disk, so a failed write never leaves a partial file behind.
#include <string>
#include <string_view>

namespace exportwriter {

// "" on success, else a message for the user naming the file and the cause. Safe to call off
// the main thread.
std::string write(const std::string& path, std::string_view bytes);

}  // namespace exportwriter

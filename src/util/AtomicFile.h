#pragma once
// Whole-file writes that either land completely or not at all: a temporary file in the same
// folder, fsync, rename over the target, fsync of the folder.
#include <sys/types.h>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace atomicfile {

// Writes `data` to `path`. Returns an empty string on success, else a message naming the path
// and the system error. The target's previous content is untouched on failure, and no
// temporary file is left behind.
std::string write(const std::filesystem::path& path, std::string_view data, mode_t mode = 0644);

// Reads the whole file; nullopt when it cannot be read.
std::optional<std::string> read(const std::filesystem::path& path);
// Reads the whole file into `out`, reusing its buffer and leaving at least `spare` bytes of
// room behind the content; false (and `out` empty) when it cannot be read.
bool readInto(const std::filesystem::path& path, std::string& out, std::size_t spare = 0);

}  // namespace atomicfile

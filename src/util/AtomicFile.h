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
// temporary file is left behind. The file gets `mode` whatever the umask: by default only its
// owner may read it.
std::string write(const std::filesystem::path& path, std::string_view data, mode_t mode = 0600);
// The same write, giving the system's error number (0 on success) for callers that word the
// failure themselves.
int writeOrError(const std::filesystem::path& path, std::string_view data, mode_t mode = 0600);

// The mode a new file gets from the process's umask (0666 less it): for files saved where the
// user chose, which follow the user's own setting.
mode_t umaskMode();

// Reads the whole file; nullopt when it cannot be read.
std::optional<std::string> read(const std::filesystem::path& path);
// Reads the whole file into `out`, reusing its buffer and leaving at least `spare` bytes of
// room behind the content; false (and `out` empty) when it cannot be read. A file too large to
// hold throws (std::length_error, std::bad_alloc), as growing a string does.
bool readInto(const std::filesystem::path& path, std::string& out, std::size_t spare = 0);

}  // namespace atomicfile

#include "util/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#include "util/Text.h"

namespace atomicfile {

namespace {

// "." before the kept part of the name and ".XXXXXX" after it.
constexpr std::size_t kTemporaryExtra = 8;

std::string failure(const std::filesystem::path& path, int err) {
    return path.string() + ": " + std::strerror(err);
}

bool writeAll(int fd, std::string_view data) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// Makes the rename itself durable. Best effort where the folder cannot be opened for reading
// or the file system has no folder sync; a real I/O error is reported.
int syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    int err = 0;
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) err = errno;
    ::close(fd);
    return err;
}

}  // namespace

std::string write(const std::filesystem::path& path, std::string_view data, mode_t mode) {
    const int err = writeOrError(path, data, mode);
    return err == 0 ? std::string() : failure(path, err);
}

int writeOrError(const std::filesystem::path& path, std::string_view data, mode_t mode) {
    const std::filesystem::path folder =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    // Same folder, so the rename stays on one file system; hidden, so nobody picks it up. The
    // target's name is shortened (at a character) so that a target whose own name just fits
    // still gets a temporary name that fits.
    const std::string kept = text::fileNamePrefix(path.filename().string(), kTemporaryExtra);
    std::string tmp = (folder / ("." + kept + ".XXXXXX")).string();
    const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0) return errno;

    int err = 0;
    if (!writeAll(fd, data) || ::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && ::rename(tmp.c_str(), path.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(tmp.c_str());
        return err;
    }
    return syncFolder(folder);
}

mode_t umaskMode() {
    // Read, not set and put back: setting it would race with files other threads create.
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("Umask:"))
            return 0666 & ~static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    return 0644;
}

bool readInto(const std::filesystem::path& path, std::string& out, std::size_t spare) {
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    // Closed however this ends: growing the buffer throws for a file too large to hold.
    const std::unique_ptr<const int, void (*)(const int*)> closer(
        &fd, [](const int* f) { ::close(*f); });
    struct stat st {};
    const std::size_t expected =
        ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0;
    // Read straight into the string; room beyond the expected size tells the end of the file.
    std::size_t used = 0;
    out.resize(expected + spare + 1);
    for (;;) {
        if (used + spare == out.size()) out.resize(out.size() * 2);
        const ssize_t n = ::read(fd, out.data() + used, out.size() - spare - used);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            out.clear();
            return false;
        }
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    out.resize(used);
    return true;
}

std::optional<std::string> read(const std::filesystem::path& path) {
    std::string out;
    if (!readInto(path, out)) return std::nullopt;
    return out;
}

}  // namespace atomicfile

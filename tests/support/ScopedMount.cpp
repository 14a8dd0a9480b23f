#include "support/ScopedMount.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace testsupport {

namespace {

enum class Namespace { none, privateRoot, privateFolders };
Namespace made = Namespace::none;
std::string notMade = "main() did not ask for a mount namespace of its own";

std::string failed(const std::string& what, int err) {
    return what + ": " + std::strerror(err);
}

int writeProcFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    const int err = written ? 0 : errno;
    ::close(fd);
    return err;
}

}  // namespace

void ScopedMount::enterPrivateNamespace() {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWNS) != 0) {
        // Only root may mount in the machine's user namespace; in a user namespace of its own,
        // where it is still itself, anybody may.
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
            notMade = failed("unshare of a user and a mount namespace", errno);
            return;
        }
        const std::pair<const char*, std::string> maps[] = {
            {"/proc/self/setgroups", "deny"},
            {"/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1"},
            {"/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1"}};
        for (const auto& [file, text] : maps) {
            // Kernels without setgroups control have no such file, and need none.
            const int err = writeProcFile(file, text);
            if (err != 0 && !(err == ENOENT && std::strcmp(file, "/proc/self/setgroups") == 0)) {
                notMade = failed(std::string("writing ") + file, err);
                return;
            }
        }
    }
    // Mounts made here must not show in the namespace this one was copied from. "/" is no mount
    // point in a chroot: there each mount isolates its own folder.
    made = ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
               ? Namespace::privateRoot
               : Namespace::privateFolders;
}

EnvProbe ScopedMount::probe() {
    if (made == Namespace::none) return {false, notMade};
    return {true, {}};
}

ScopedMount ScopedMount::fileSystem(const std::filesystem::path& folder, const std::string& type,
                                    const std::string& options) {
    ScopedMount m(folder);
    if (m.isolate()) m.mount("tavro-test", type.c_str(), 0, options.c_str());
    return m;
}

ScopedMount ScopedMount::bind(const std::filesystem::path& from,
                              const std::filesystem::path& folder) {
    ScopedMount m(folder);
    if (m.isolate()) m.mount(from.c_str(), nullptr, MS_BIND, nullptr);
    return m;
}

ScopedMount::ScopedMount(ScopedMount&& other) noexcept
    : folder_(std::move(other.folder_)),
      mounts_(std::exchange(other.mounts_, 0)),
      error_(std::move(other.error_)) {}

ScopedMount::~ScopedMount() {
    for (; mounts_ > 0; --mounts_) ::umount2(folder_.c_str(), MNT_DETACH);
}

bool ScopedMount::isolate() {
    if (made == Namespace::none) {
        error_ = notMade;
        return false;
    }
    if (made == Namespace::privateRoot) return true;
    return mount(folder_.c_str(), nullptr, MS_BIND, nullptr) &&
           mount(nullptr, nullptr, MS_PRIVATE, nullptr);
}

bool ScopedMount::mount(const char* source, const char* type, unsigned long flags,
                        const char* options) {
    if (::mount(source, folder_.c_str(), type, flags, options) != 0) {
        error_ = failed("mounting " + std::string(source ? source : "") + " on " + folder_.string(),
                        errno);
        return false;
    }
    // A change of propagation adds no mount of its own.
    if (!(flags & MS_PRIVATE)) ++mounts_;
    return true;
}

}  // namespace testsupport

#pragma once
// Mounts that only the test process sees: a small file system over a folder (a full disk), or
// one folder put in place of another (a folder somebody else owns). The process first gets a
// mount namespace of its own: as root directly, otherwise inside a user namespace in which the
// user is itself and may mount. Nothing mounted here reaches the rest of the machine.
#include <filesystem>
#include <string>

#include "support/TestEnv.h"

namespace testsupport {

class ScopedMount {
public:
    // Call first thing in main(): a namespace is only given to a process with one thread.
    static void enterPrivateNamespace();
    // Whether the namespace was made, and if not, why.
    static EnvProbe probe();

    // `type` with `options` over `folder`, e.g. ("tmpfs", "size=96k").
    static ScopedMount fileSystem(const std::filesystem::path& folder, const std::string& type,
                                  const std::string& options);
    // `from` seen at `folder` as well.
    static ScopedMount bind(const std::filesystem::path& from, const std::filesystem::path& folder);

    ScopedMount(ScopedMount&& other) noexcept;
    ScopedMount& operator=(ScopedMount&&) = delete;
    ~ScopedMount();

    bool ok() const { return error_.empty(); }
    // What failed, with the system's reason; empty when mounted.
    const std::string& error() const { return error_; }

private:
    explicit ScopedMount(std::filesystem::path folder) : folder_(std::move(folder)) {}
    // Where "/" could not be made private (a chroot, whose root is no mount point), the folder
    // is first bound onto itself and that mount made private, so that what is mounted over it
    // stays here.
    bool isolate();
    bool mount(const char* source, const char* type, unsigned long flags, const char* options);

    std::filesystem::path folder_;
    int mounts_ = 0;  // stacked on folder_, taken off again in reverse
    std::string error_;
};

}  // namespace testsupport

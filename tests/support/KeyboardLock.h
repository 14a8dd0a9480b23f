#pragma once
// Keys synthesised on the test X server reach every listener on it, so tests that type must
// not overlap, even when CTest runs test programs in parallel. Holding this lock (an flock on a
// file of the test session) for the length of such a test keeps them apart.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace testsupport {

class KeyboardLock {
public:
    KeyboardLock() {
        const char* root = std::getenv("TAVRO_TEST_ENV");
        const std::string path =
            std::string(root && *root ? root : "/tmp") + "/tavro-keyboard.lock";
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0) ::flock(fd_, LOCK_EX);
    }
    ~KeyboardLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    KeyboardLock(const KeyboardLock&) = delete;
    KeyboardLock& operator=(const KeyboardLock&) = delete;

private:
    int fd_ = -1;
};

}  // namespace testsupport

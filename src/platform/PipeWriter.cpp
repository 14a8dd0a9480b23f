#include "platform/PipeWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

PipeWriter::PipeWriter(int fd) : fd_(fd) {
    if (fd_ >= 0) fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
}

PipeWriter::~PipeWriter() {
    close();
}

bool PipeWriter::write(std::string_view data) {
    std::lock_guard lock(mutex_);
    if (fd_ < 0) return false;
    while (!data.empty()) {
        const ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;  // EPIPE when the reader is gone, EAGAIN when the pipe is full
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void PipeWriter::close() {
    std::lock_guard lock(mutex_);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool PipeWriter::isOpen() const {
    std::lock_guard lock(mutex_);
    return fd_ >= 0;
}

#include "util/Uuid.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>
#include <system_error>

namespace uuid {

namespace {

bool readUrandom(std::uint8_t* buf, std::size_t len) {
    const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::size_t got = 0;
    while (got < len) {
        const ssize_t n = ::read(fd, buf + got, len - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return got == len;
}

void randomBytes(std::uint8_t* buf, std::size_t len) {
    std::size_t got = 0;
    while (got < len) {
        const ssize_t n = ::getrandom(buf + got, len - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // ENOSYS on old kernels, or a seccomp filter
        got += static_cast<std::size_t>(n);
    }
    if (got == len) return;
    if (!readUrandom(buf, len)) {
        throw std::system_error(errno ? errno : EIO, std::generic_category(),
                                "no system random source");
    }
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

std::string make() {
    std::uint8_t b[16];
    randomBytes(b, sizeof b);
    b[6] = static_cast<std::uint8_t>((b[6] & 0x0f) | 0x40);  // version 4
    b[8] = static_cast<std::uint8_t>((b[8] & 0x3f) | 0x80);  // RFC 4122 variant
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(36);
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        out += kHex[b[i] >> 4];
        out += kHex[b[i] & 0x0f];
    }
    return out;
}

bool isCanonical(const std::string& text) {
    if (text.size() != 36) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !isHex(text[i])) return false;
    }
    return true;
}

}  // namespace uuid

#pragma once
// Turns FFmpeg's negative return codes into exceptions with the library's own text.
#include <mutex>
#include <stdexcept>
#include <string>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace ffmpeg {

inline std::string errorText(int err) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, buf, sizeof buf);
    return buf;
}

// Returns `ret` when it is not an error, else throws "<what>: <reason>".
inline int check(int ret, const char* what) {
    if (ret < 0) throw std::runtime_error(std::string(what) + ": " + errorText(ret));
    return ret;
}

// The libraries' own console chatter (encoder statistics, the damaged tail of a killed
// recording) is not ours to print: failures reach callers as exceptions.
inline void quietLogs() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

}  // namespace ffmpeg

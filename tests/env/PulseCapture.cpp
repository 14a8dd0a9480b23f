#include "PulseCapture.h"

#include <pulse/error.h>
#include <pulse/stream.h>

PulseCapture::~PulseCapture() {
    if (!stream_) return;
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
}

bool PulseCapture::start(const std::string& source, int rate, std::chrono::milliseconds timeout) {
    const pa_sample_spec format{PA_SAMPLE_FLOAT32LE, static_cast<uint32_t>(rate), 1};
    stream_ = pa_stream_new(session_.context(), "tavro-env-capture", &format, nullptr);
    if (!stream_) return false;
    // Small fragments, so that data flows in steps of 20 ms rather than the default seconds.
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(-1);
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(20000, &format));
    if (pa_stream_connect_record(stream_, source.empty() ? nullptr : source.c_str(), &attr,
                                 PA_STREAM_ADJUST_LATENCY) < 0)
        return false;
    bool failed = false;
    const bool done = session_.runUntil(
        [&] {
            const pa_stream_state_t st = pa_stream_get_state(stream_);
            failed = !PA_STREAM_IS_GOOD(st);
            return st == PA_STREAM_READY || failed;
        },
        timeout);
    return done && !failed;
}

void PulseCapture::drain() {
    for (;;) {
        const size_t readable = pa_stream_readable_size(stream_);
        if (readable == 0 || readable == static_cast<size_t>(-1)) return;
        const void* data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(stream_, &data, &bytes) < 0 || bytes == 0) return;
        const size_t frames = bytes / sizeof(float);
        if (data) {
            const auto* f = static_cast<const float*>(data);
            samples_.insert(samples_.end(), f, f + frames);
        } else {
            samples_.insert(samples_.end(), frames, 0.0f);  // a hole in the stream
        }
        pa_stream_drop(stream_);
    }
}

std::string PulseCapture::error() const {
    return session_.error();
}

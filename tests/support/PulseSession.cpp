#include "support/PulseSession.h"

#include <algorithm>
#include <thread>

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/mainloop.h>

namespace testsupport {

PulseSession::PulseSession()
    : loop_(pa_mainloop_new()),
      context_(pa_context_new(pa_mainloop_get_api(loop_), "tavro-tests")) {}

PulseSession::~PulseSession() {
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    pa_mainloop_free(loop_);
}

bool PulseSession::connect(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        error_.clear();
        bool failed = false;
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            failed = true;
        } else {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            const bool settled = runUntil(
                [&] {
                    const pa_context_state_t st = pa_context_get_state(context_);
                    failed = !PA_CONTEXT_IS_GOOD(st);
                    return st == PA_CONTEXT_READY || failed;
                },
                std::max(left, std::chrono::milliseconds(0)));
            if (settled && !failed) return true;
            if (!settled) {
                if (error_.empty()) error_ = "no answer";
                return false;
            }
        }
        // The server's listen backlog is short: with many tests connecting at once some are
        // refused, so try again until the time is up.
        if (std::chrono::steady_clock::now() + std::chrono::milliseconds(50) >= deadline)
            return false;
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        context_ = pa_context_new(pa_mainloop_get_api(loop_), "tavro-tests");
    }
}

bool PulseSession::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::milliseconds(0)) return false;
        // Wake at least every 20 ms so done() sees state that callbacks did not signal.
        const auto slice = std::min<std::chrono::microseconds>(
            std::chrono::duration_cast<std::chrono::microseconds>(left),
            std::chrono::milliseconds(20));
        if (pa_mainloop_prepare(loop_, static_cast<int>(slice.count())) < 0 ||
            pa_mainloop_poll(loop_) < 0 || pa_mainloop_dispatch(loop_) < 0) {
            error_ = "main loop failed";
            return false;
        }
    }
    return true;
}

std::string PulseSession::error() const {
    if (!error_.empty()) return error_;
    return pa_strerror(pa_context_errno(context_));
}

}  // namespace testsupport

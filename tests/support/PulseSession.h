#pragma once
// A PulseAudio client context on its own main loop, with bounded waits so that a test facing a
// stuck server fails instead of hanging.
#include <chrono>
#include <functional>
#include <string>

struct pa_context;
struct pa_mainloop;

namespace testsupport {

class PulseSession {
public:
    PulseSession();
    ~PulseSession();
    PulseSession(const PulseSession&) = delete;
    PulseSession& operator=(const PulseSession&) = delete;

    // Connects to $PULSE_SERVER without ever spawning a server.
    bool connect(std::chrono::milliseconds timeout);
    // Runs the main loop until done() holds or the time is up; returns done().
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

    pa_context* context() const { return context_; }
    // The context's last error text ("Connection refused", ...) or our own reason.
    std::string error() const;

private:
    pa_mainloop* loop_;
    pa_context* context_;
    std::string error_;
};

}  // namespace testsupport

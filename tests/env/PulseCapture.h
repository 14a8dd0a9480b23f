#pragma once
// Records mono float samples from a PulseAudio source on a PulseSession's loop.
#include <chrono>
#include <string>
#include <vector>

#include "support/PulseSession.h"

struct pa_stream;

class PulseCapture {
public:
    explicit PulseCapture(testsupport::PulseSession& session) : session_(session) {}
    ~PulseCapture();
    PulseCapture(const PulseCapture&) = delete;
    PulseCapture& operator=(const PulseCapture&) = delete;

    // Starts recording from `source` (empty: the default source).
    bool start(const std::string& source, int rate, std::chrono::milliseconds timeout);
    // Appends whatever has arrived to samples(); call between loop iterations.
    void drain();

    const std::vector<float>& samples() const { return samples_; }
    std::string error() const;

private:
    testsupport::PulseSession& session_;
    pa_stream* stream_ = nullptr;
    std::vector<float> samples_;
};

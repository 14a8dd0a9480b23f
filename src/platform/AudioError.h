#pragma once
// The local audio failures that callers show to the user: error domain "TAVRO" with a code and
// a message that is the whole user-facing text.
#include <stdexcept>
#include <string>

class AudioError : public std::runtime_error {
public:
    enum Code : int {
        noCaptureTarget = 1,  // nothing to capture the computer's audio from
        writerFailed = 2,     // the audio writer could not start
        mixFailed = 3,        // the two recordings could not be mixed
    };

    AudioError(int code, const std::string& message);

    static AudioError noDisplay();
    static AudioError writerCouldNotStart();
    static AudioError mixFailure();

    static constexpr const char* kDomain = "TAVRO";
    const char* domain() const { return kDomain; }
    int code() const { return code_; }

private:
    int code_;
};

#include "engine/X11VisionBackend.h"

#include "engine/MeetingVision.h"

#include <unistd.h>

X11VisionBackend::X11VisionBackend() = default;
X11VisionBackend::~X11VisionBackend() = default;

std::optional<GrayImage> X11VisionBackend::captureMeetingWindow() {
    // Opened on first use so that both live on the worker thread; retried while the display or
    // the model is missing, since either may appear while a recording runs.
    if (!capture_) capture_ = WindowCapture::open();
    if (!capture_) return std::nullopt;
    const auto window = MeetingVision::chooseMeetingWindow(capture_->windows(), ::getpid());
    if (!window) return std::nullopt;
    return capture_->screenshot(window->id);
}

std::optional<std::vector<std::string>> X11VisionBackend::recognizeText(const GrayImage& image) {
    if (!recognizer_) recognizer_ = TextRecognizer::create("Japanese");
    if (!recognizer_) return std::nullopt;
    return recognizer_->recognizeLines(image);
}

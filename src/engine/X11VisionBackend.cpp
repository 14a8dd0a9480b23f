#include "engine/X11VisionBackend.h"

#include "engine/MeetingVision.h"

#include <unistd.h>

#include <algorithm>
#include <functional>

X11VisionBackend::X11VisionBackend() = default;
X11VisionBackend::~X11VisionBackend() = default;

std::optional<GrayImage> X11VisionBackend::captureMeetingWindow() {
    // Opened on first use so that both live on the worker thread; retried while the display or
    // the model is missing, since either may appear while a recording runs.
    if (!capture_) capture_ = WindowCapture::open();
    if (!capture_) return std::nullopt;
    const auto window = MeetingVision::chooseMeetingWindow(capture_->windows(), ::getpid());
    if (!window) return std::nullopt;
    auto image = capture_->screenshot(window->id);
    // A window that is new, resized or just redirected reads as one flat colour until its
    // application has repainted it; such a pass would find no names, so there is none.
    if (image && std::adjacent_find(image->pixels.begin(), image->pixels.end(),
                                    std::not_equal_to<>()) == image->pixels.end())
        return std::nullopt;
    return image;
}

std::optional<std::vector<std::string>> X11VisionBackend::recognizeText(const GrayImage& image) {
    if (!recognizer_) recognizer_ = TextRecognizer::create("Japanese");
    if (!recognizer_) return std::nullopt;
    return recognizer_->recognizeLines(image);
}

#pragma once
// The real backend: X11 window list and screenshots, Tesseract for the text.
#include "engine/VisionBackend.h"
#include "platform/TextRecognizer.h"
#include "platform/WindowCapture.h"

#include <memory>

class X11VisionBackend : public VisionBackend {
public:
    X11VisionBackend();
    ~X11VisionBackend() override;

    std::optional<GrayImage> captureMeetingWindow() override;
    std::optional<std::vector<std::string>> recognizeText(const GrayImage& image) override;

private:
    std::unique_ptr<WindowCapture> capture_;
    std::unique_ptr<TextRecognizer> recognizer_;
};

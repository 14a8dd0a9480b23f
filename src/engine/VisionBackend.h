#pragma once
// What one pass of MeetingVision needs from the desktop: a screenshot of the meeting window and
// the text in it. A backend is made, used and destroyed on one worker thread.
#include "platform/GrayImage.h"

#include <optional>
#include <string>
#include <vector>

class VisionBackend {
public:
    virtual ~VisionBackend() = default;

    // The largest meeting window on screen, or nullopt when there is none or it cannot be read.
    virtual std::optional<GrayImage> captureMeetingWindow() = 0;

    // The text lines of `image` in reading order; nullopt when recognition failed.
    virtual std::optional<std::vector<std::string>> recognizeText(const GrayImage& image) = 0;
};

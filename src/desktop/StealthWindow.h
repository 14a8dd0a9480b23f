#pragma once
// One window as capture exclusion sees it: what kind of window it is, and the capture and
// full-screen behaviour asked for it. The values are recorded on the window whether or not the
// system can honour them (see CaptureExclusion::supported()).
#include <cstdint>

enum class SharingType { none = 0, readOnly = 1 };

class StealthWindow {
public:
    static constexpr std::uint32_t kFullScreenPrimary = 0x80;
    static constexpr std::uint32_t kFullScreenNone = 0x200;

    virtual ~StealthWindow() = default;
    virtual bool isPanel() const = 0;
    virtual bool isResizable() const = 0;
    virtual SharingType sharingType() const = 0;
    virtual void setSharingType(SharingType type) = 0;
    virtual std::uint32_t collectionBehavior() const = 0;
    virtual void setCollectionBehavior(std::uint32_t behavior) = 0;
};

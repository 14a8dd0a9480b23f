#pragma once
// One on-screen top-level window as the window list reports it.
#include <cstdint>
#include <optional>
#include <string>

struct WindowInfo {
    std::uint32_t id = 0;    // the client window (not a window manager's frame)
    std::string wmInstance;  // first string of WM_CLASS
    std::string wmClass;     // second string of WM_CLASS
    std::string title;       // _NET_WM_NAME, else WM_NAME; empty when it has none
    int width = 0;
    int height = 0;
    std::optional<std::int64_t> pid;  // _NET_WM_PID when the client sets it

    bool operator==(const WindowInfo&) const = default;
};

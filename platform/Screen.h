#pragma once
// The desktop's work area (the screen less panels and docks), as the system
// reports it for placing windows.
#include <optional>

namespace platform {

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TRect&) const = default;
};

// The primary screen's work area from the window manager (_NET_WORKAREA),
// else the whole screen; without a display, 0, 0, 1024, 768 so that windows
// still get a sane place.
TRect GetWorkArea();
// Tests pin the work area; std::nullopt gives the real one back. Any thread.
void SetWorkAreaOverride(std::optional<TRect> area);

} // namespace platform

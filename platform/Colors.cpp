#include "platform/Colors.h"

#include <array>

namespace platform {
namespace {

// The desktop's classic system colours, by number, as 0x00BBGGRR: a fixed
// scheme keeps the window the same on every desktop theme.
constexpr std::array<TColor, 31> systemColors = {
    RGB(200, 200, 200), // 0 scroll bar
    RGB(0, 0, 0),       // 1 background
    RGB(153, 180, 209), // 2 active caption
    RGB(191, 205, 219), // 3 inactive caption
    RGB(240, 240, 240), // 4 menu
    RGB(255, 255, 255), // 5 window
    RGB(100, 100, 100), // 6 window frame
    RGB(0, 0, 0),       // 7 menu text
    RGB(0, 0, 0),       // 8 window text
    RGB(0, 0, 0),       // 9 caption text
    RGB(180, 180, 180), // 10 active border
    RGB(244, 247, 252), // 11 inactive border
    RGB(171, 171, 171), // 12 application workspace
    RGB(0, 120, 215),   // 13 highlight
    RGB(255, 255, 255), // 14 highlight text
    RGB(240, 240, 240), // 15 button face
    RGB(160, 160, 160), // 16 button shadow
    RGB(109, 109, 109), // 17 grey text
    RGB(0, 0, 0),       // 18 button text
    RGB(0, 0, 0),       // 19 inactive caption text
    RGB(255, 255, 255), // 20 button highlight
    RGB(105, 105, 105), // 21 3D dark shadow
    RGB(227, 227, 227), // 22 3D light
    RGB(0, 0, 0),       // 23 info text
    RGB(255, 255, 225), // 24 info background
    RGB(0, 0, 0),       // 25 (unused)
    RGB(0, 102, 204),   // 26 hot light
    RGB(185, 209, 234), // 27 gradient active caption
    RGB(215, 228, 242), // 28 gradient inactive caption
    RGB(0, 120, 215),   // 29 menu highlight
    RGB(240, 240, 240), // 30 menu bar
};

} // namespace

std::uint32_t ColorToArgb(TColor color) {
    TColor rgb = color;
    if ((color & 0xFF000000u) == 0xFF000000u) {
        unsigned index = color & 0xFF;
        rgb = (color & 0x00FFFF00u) == 0 && index < systemColors.size() ? systemColors[index] : 0;
    } else if (color & 0xFF000000u) {
        rgb = 0;
    }
    unsigned r = rgb & 0xFF, g = (rgb >> 8) & 0xFF, b = (rgb >> 16) & 0xFF;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

} // namespace platform

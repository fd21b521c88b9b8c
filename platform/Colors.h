#pragma once
// Colours as 32-bit values: 0x00BBGGRR for an RGB colour, 0xFF0000nn for
// system colour number nn, resolved only when something is drawn.
#include <cstdint>

namespace platform {

using TColor = std::uint32_t;

constexpr TColor clBlack = 0x00000000;
constexpr TColor clWhite = 0x00FFFFFF;
constexpr TColor clAqua = 0x00FFFF00;
constexpr TColor clBtnFace = 0xFF00000F;
constexpr TColor clWindowText = 0xFF000008;
constexpr TColor clWindow = 0xFF000005;
// Not a colour: the value by which a caller leaves the colour to a default.
constexpr TColor clDefault = 0x20000000;

constexpr TColor RGB(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}

// The colour as 0xAARRGGBB with full alpha, ready for a 32-bit image. A system
// colour number beyond the table, and clDefault, give black.
std::uint32_t ColorToArgb(TColor color);

} // namespace platform

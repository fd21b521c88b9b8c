#pragma once
// Fonts by face name, size in points and a style byte. Faces that this
// desktop lacks (the classic "MS Sans Serif", "Tahoma", ...) fall back to the
// closest installed face, the one fontconfig picks.
#include <QFont>
#include <cstdint>
#include <string>

namespace platform {

using TFontStyles = std::uint8_t;
constexpr TFontStyles fsBold = 1;
constexpr TFontStyles fsItalic = 2;
constexpr TFontStyles fsUnderline = 4;
constexpr TFontStyles fsStrikeOut = 8;

// Points to pixels at the classic 96 pixels per inch, rounded like the
// system's MulDiv, so that layouts do not depend on the screen's DPI.
// Kept within 1..1000 pixels: a wild size must not ask for a giant image.
int PointsToPixels(int points);

// The installed family that draws a face name: the name itself when present.
std::string ResolveFontFace(const std::string& name);

QFont MakeFont(const std::string& name, int points, TFontStyles style);

} // namespace platform

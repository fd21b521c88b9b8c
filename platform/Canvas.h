#pragma once
// A drawing surface over an image with the class library's canvas habits:
// its font and brush persist from one operation to the next (also when the
// image is freed or re-sized), the pen is always black, solid and one pixel,
// rectangles exclude their right and bottom edges, and text is measured and
// wrapped the way the system's DrawText does it.
#include "platform/Colors.h"
#include "platform/Fonts.h"
#include "platform/Screen.h"

#include <QImage>
#include <mutex>
#include <string>

class QFont;

namespace platform {

class TBitmap;

// DrawText flags, with the system's values.
constexpr unsigned DT_LEFT = 0x0;
constexpr unsigned DT_CENTER = 0x1;
constexpr unsigned DT_RIGHT = 0x2;
constexpr unsigned DT_WORDBREAK = 0x10;
constexpr unsigned DT_CALCRECT = 0x400;

struct TCanvasFont {
    std::string Name = "MS Sans Serif";
    int Size = 8; // points
    TFontStyles Style = 0;
    TColor Color = clWindowText;
};

class TCanvasBrush {
public:
    TColor Color() const { return BrushColor; }
    bool Clear() const { return IsClear; }
    // A colour makes a clear brush solid again, as the class library does.
    void SetColor(TColor color) {
        BrushColor = color;
        IsClear = false;
    }
    void SetClear() { IsClear = true; }

private:
    TColor BrushColor = clWhite;
    bool IsClear = false;
};

class TCanvas {
public:
    explicit TCanvas(QImage& target) : Target(target) {}
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TCanvasFont Font;
    TCanvasBrush Brush;

    // Re-entrant for the holder; keeps other threads off this canvas.
    void Lock() { Guard.lock(); }
    void Unlock() { Guard.unlock(); }

    // Brush inside, black outline on columns x1 and x2 - 1, rows y1 and
    // y2 - 1; clipped to the image.
    void Rectangle(int x1, int y1, int x2, int y2);
    // Brush only (nothing with a clear brush); right and bottom exclusive.
    void FillRect(const TRect& rect);
    // One line with its top-left corner at (x, y); a solid brush fills the
    // text's box first, a clear one leaves the pixels behind the glyphs.
    void TextOut(int x, int y, const std::string& text);
    int TextWidth(const std::string& text) const;
    int TextHeight() const;
    // Copies every pixel of source with its top-left corner at (x, y).
    void Draw(int x, int y, const TBitmap& source);
    // Line breaks start new lines; DT_WORDBREAK also breaks between words to
    // fit the rectangle's width (a word wider than it stays whole). With
    // DT_CALCRECT nothing is drawn: rect's bottom and right are set to the
    // text's extent. Otherwise the text is drawn clipped to rect, aligned by
    // DT_LEFT/DT_CENTER/DT_RIGHT. Returns the text's height.
    int DrawText(const std::string& text, TRect& rect, unsigned flags);

private:
    QFont CurrentFont() const;

    QImage& Target;
    std::recursive_mutex Guard;
};

} // namespace platform

#pragma once
// An off-screen image in the window's pixel format, with a canvas whose
// settings outlive the pixels.
#include "platform/Canvas.h"

#include <QImage>

namespace platform {

class TBitmap {
public:
    TBitmap() : Canvas(Image) {}
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    int Width() const { return Image.width(); }
    int Height() const { return Image.height(); }
    // Keeps the pixels that still fit; new ones are white. A size with a 0
    // (or negative) side holds no pixels and reads as 0 x 0.
    void SetSize(int width, int height);
    void SetHeight(int height) { SetSize(Width(), height); }
    // Drops the pixels; the canvas and its settings stay.
    void FreeImage() { Image = QImage(); }
    // Same size and pixels as source (shared until either is drawn on).
    void Assign(const TBitmap& source) { Image = source.Image; }

    const QImage& Pixels() const { return Image; }

private:
    QImage Image;

public:
    TCanvas Canvas;
};

} // namespace platform

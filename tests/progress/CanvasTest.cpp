// The canvas habits the viewer's layout relies on.
#include "platform/Bitmap.h"
#include "platform/Fonts.h"

#include <QFontMetrics>
#include <gtest/gtest.h>

using namespace platform;

namespace {

TEST(Canvas, RectangleExcludesRightAndBottomEdges) {
    TBitmap bitmap;
    bitmap.SetSize(10, 10);
    bitmap.Canvas.Brush.SetColor(RGB(255, 0, 0));
    bitmap.Canvas.Rectangle(2, 2, 6, 6);
    const QImage& image = bitmap.Pixels();
    EXPECT_EQ(image.pixel(2, 2), 0xFF000000u);
    EXPECT_EQ(image.pixel(5, 5), 0xFF000000u);
    EXPECT_EQ(image.pixel(3, 3), 0xFFFF0000u);
    EXPECT_EQ(image.pixel(6, 6), 0xFFFFFFFFu);
    bitmap.Canvas.Brush.SetClear();
    bitmap.Canvas.Rectangle(0, 0, 10, 10);
    EXPECT_EQ(image.pixel(3, 3), 0xFFFF0000u); // a clear brush leaves the inside
    bitmap.Canvas.Brush.SetColor(RGB(0, 255, 0));
    EXPECT_FALSE(bitmap.Canvas.Brush.Clear()); // a colour makes it solid again
}

TEST(Canvas, SettingsOutliveTheImage) {
    TBitmap bitmap;
    bitmap.Canvas.Font.Style = fsBold;
    bitmap.Canvas.Brush.SetColor(RGB(1, 2, 3));
    bitmap.SetSize(5, 5);
    bitmap.FreeImage();
    bitmap.SetSize(7, 7);
    EXPECT_EQ(bitmap.Canvas.Font.Style, fsBold);
    EXPECT_EQ(bitmap.Canvas.Brush.Color(), RGB(1, 2, 3));
    EXPECT_EQ(bitmap.Width(), 7);
}

TEST(Canvas, DrawTextMeasuresRowsLikeTheSystem) {
    TBitmap bitmap;
    int row = bitmap.Canvas.TextHeight();
    struct TCase {
        const char* Name;
        std::string Text;
        unsigned Flags;
        int Rows;
    } cases[] = {
        {"one row", "Строка", 0, 1},
        {"line breaks", "раз\r\nдва\nтри", 0, 3},
        {"no wrap keeps a long line whole", std::string(40, 'w') + " " + std::string(40, 'w'), 0,
         1},
        {"wrap at spaces", std::string(40, 'w') + " " + std::string(40, 'w'), DT_WORDBREAK, 2},
        {"a word wider than the row stays whole", std::string(200, 'w'), DT_WORDBREAK, 1},
        {"empty text", "", DT_WORDBREAK, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TRect rect{0, 0, 300, 0};
        int height = bitmap.Canvas.DrawText(c.Text, rect, c.Flags | DT_CALCRECT);
        EXPECT_EQ(height, c.Rows * row);
        EXPECT_EQ(rect.Bottom, c.Rows * row);
    }
}

TEST(Fonts, ClassicFacesFallBackToAnInstalledFaceWithCyrillic) {
    for (const char* face : {"MS Sans Serif", "Tahoma"}) {
        SCOPED_TRACE(face);
        std::string resolved = ResolveFontFace(face);
        EXPECT_FALSE(resolved.empty());
        QFontMetrics metrics(MakeFont(face, 10, 0));
        EXPECT_TRUE(metrics.inFont(QChar(0x0416))); // Ж
    }
    EXPECT_EQ(PointsToPixels(8), 11);
    EXPECT_EQ(PointsToPixels(14), 19);
    EXPECT_EQ(PointsToPixels(0), 1);
    EXPECT_EQ(PointsToPixels(1000000), 1000);
}

} // namespace

// The frames a viewer composes, checked pixel by pixel without a display.
#include "StillViewer.h"
#include "platform/Screen.h"

#include <QColor>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace progress;

namespace {

constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Black = 0xFF000000;
constexpr QRgb Aqua = 0xFF00FFFF;

class ViewerImage : public testing::Test {
protected:
    void SetUp() override {
        platform::SetWorkAreaOverride(platform::TRect{0, 0, 1280, 984});
        ProgressShowPercentText = false;
        ProgressShowElapsedTime = false;
    }
    void TearDown() override {
        ProgressShowPercentText = true;
        ProgressShowElapsedTime = true;
        platform::SetWorkAreaOverride(std::nullopt);
    }

    // One tick of the viewer's thread as if it had a window.
    static void RunTick(TProgressViewer& viewer) {
        viewer.Tick();
        viewer.ComposeFrame();
    }
    static QRgb StripPixel(const TProgressViewer& viewer, int x, int y) {
        return viewer.FrameBitmap->Pixels().pixel(20 + x, viewer.WindowHeight - 60 + y);
    }
    static int BarLength(const TProgressViewer& viewer) {
        int length = 0;
        while (StripPixel(viewer, 2 + length, 10) != White && length < 500)
            ++length;
        return length;
    }
    static bool Dark(QRgb pixel) { return qGray(pixel) < 128; }
};

TEST_F(ViewerImage, PercentBarLengthAndClamp) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct TCase {
        double Position;
        int Length;
        double After;
    } cases[] = {
        {50, 203, 50},   {33.3, 135, 33.3}, {99.9, 405, 99.9}, {150, 406, 100},
        {100, 406, 100}, {-3, 0, 0},        {nan, 0, 0},       {0, 0, 0},
    };
    TStillViewer viewer("Проценты", true, false);
    RunTick(viewer);
    ASSERT_EQ(viewer.FrameBitmap->Width(), 450);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Position);
        viewer.Position = c.Position;
        viewer.ComposeFrame();
        EXPECT_EQ(BarLength(viewer), c.Length);
        EXPECT_EQ(viewer.Position.load(), c.After);
        if (c.Length > 0) {
            EXPECT_EQ(StripPixel(viewer, 2, 10), Black);            // outline
            EXPECT_EQ(StripPixel(viewer, 1 + c.Length, 10), Black); // outline
            if (c.Length > 2) {
                EXPECT_EQ(StripPixel(viewer, 3, 10), Aqua);
            }
        }
        EXPECT_EQ(StripPixel(viewer, 0, 10), Black); // the strip's own outline
        EXPECT_EQ(StripPixel(viewer, 409, 10), Black);
    }
}

TEST_F(ViewerImage, PercentTextIsCentredOnTheStrip) {
    ProgressShowPercentText = true;
    TStillViewer viewer("Проценты", true, false);
    viewer.Position = 0; // no bar under the text
    RunTick(viewer);
    int left = 1000, right = -1;
    for (int y = 2; y < 18; ++y)
        for (int x = 1; x < 409; ++x)
            if (Dark(StripPixel(viewer, x, y))) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GE(right, left);
    EXPECT_NEAR((left + right) / 2.0, 205, 3);
}

TEST_F(ViewerImage, MarqueeBlockWrapsAroundTheStrip) {
    TStillViewer viewer("Бегущий блок", false, false);
    RunTick(viewer);
    viewer.Position = 390;
    struct TStep {
        double Position;
        int FirstBlockColumn; // -1: no block in sight
        int LastBlockColumn;
    } steps[] = {{400, 400, 409}, {410, -1, -1}, {-40, -1, -1}, {-30, 0, 9}, {-20, 0, 19}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.Position);
        viewer.ComposeFrame();
        EXPECT_EQ(viewer.Position.load(), step.Position);
        int first = -1, last = -1;
        for (int x = 0; x < 410; ++x) {
            QRgb pixel = StripPixel(viewer, x, 10);
            bool block = pixel == Aqua || (pixel == Black && x != 0 && x != 409);
            if (block) {
                first = first == -1 ? x : first;
                last = x;
            }
        }
        if (step.FirstBlockColumn == 0)
            first = 0; // column 0 is the strip's outline or the block's fill
        EXPECT_EQ(first, step.FirstBlockColumn);
        EXPECT_EQ(last, step.LastBlockColumn);
    }
}

TEST_F(ViewerImage, MarqueeRestartsFromANonNumber) {
    TStillViewer viewer("Бегущий блок", false, false);
    RunTick(viewer);
    viewer.Position = std::numeric_limits<double>::quiet_NaN();
    viewer.ComposeFrame();
    EXPECT_EQ(viewer.Position.load(), -40);
}

TEST_F(ViewerImage, ElapsedTimeSitsRightOrLeftOfTheCancelButton) {
    ProgressShowElapsedTime = true;
    for (bool showCancel : {false, true}) {
        SCOPED_TRACE(showCancel);
        TStillViewer viewer("Время", true, showCancel);
        RunTick(viewer);
        viewer.StartTime = platform::Time();
        viewer.ComposeFrame();
        const QImage& frame = viewer.FrameBitmap->Pixels();
        int width = viewer.WindowWidth, height = viewer.WindowHeight;
        int left = width, right = -1;
        for (int y = height - 25; y < height - 5; ++y)
            for (int x = 1; x < width - 1; ++x)
                if (Dark(frame.pixel(x, y))) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        ASSERT_GE(right, left);
        if (showCancel) {
            EXPECT_GE(left, 20);
            EXPECT_LE(left, 24);
        } else {
            EXPECT_LE(right, width - 21);
            EXPECT_GE(right, width - 26);
        }
    }
}

TEST_F(ViewerImage, WindowHeightFollowsTheTextAfterTheFirstTick) {
    TStillViewer viewer("Высота", true, false);
    RunTick(viewer);
    int total = 0;
    for (const auto& line : viewer.Lines) {
        EXPECT_GT(line.Height, 0) << line.Number;
        total += line.Height;
    }
    EXPECT_EQ(viewer.TextBitmap->Height(), total);
    EXPECT_EQ(viewer.TextBitmap->Width(), 430);
    EXPECT_EQ(viewer.WindowHeight, total + 70);
    EXPECT_EQ(viewer.FrameBitmap->Height(), total + 70);
    EXPECT_EQ(viewer.WindowTop, 984 - (total + 70) - 100);
    EXPECT_TRUE(viewer.LinesLaidOut); // one change of lines costs one layout
}

TEST_F(ViewerImage, WordWrapGrowsTheLineAndTheWindow) {
    const std::string text = "Очень длинная строка, которая никак не поместится в ширину окна "
                             "визуализации и потому переносится по словам на несколько строк";
    TStillViewer viewer("Перенос", true, false);
    RunTick(viewer);
    int single = viewer.Lines[viewer.FindString(1001)].Height;
    int heightBefore = viewer.WindowHeight;
    viewer.SetString(1001, text, taLeftJustify, true, 0, 0, 10, "");
    RunTick(viewer);
    int wrapped = viewer.Lines[viewer.FindString(1001)].Height;
    EXPECT_GE(wrapped, 2 * single);
    EXPECT_EQ(wrapped % single, 0);
    EXPECT_EQ(viewer.WindowHeight, heightBefore + wrapped - single);

    viewer.SetString(1001, text, taLeftJustify, false, 0, 0, 10, "");
    RunTick(viewer);
    EXPECT_EQ(viewer.Lines[viewer.FindString(1001)].Height, single); // cut off, one row
}

TEST_F(ViewerImage, BackColorShowsAfterTheNextLayoutOnlyInTheTextBlock) {
    TStillViewer viewer("Фон", true, false);
    RunTick(viewer);
    const QRgb face = viewer.FrameBitmap->Pixels().pixel(5, 5);
    EXPECT_EQ(viewer.FrameBitmap->Pixels().pixel(11, 3), face);
    viewer.BackColor = 0x000000FF; // red
    RunTick(viewer);
    EXPECT_EQ(viewer.FrameBitmap->Pixels().pixel(11, 3), face); // not laid out yet
    viewer.SetString(1000, " ", taCenter, false, 0, 0, 8, "");
    RunTick(viewer);
    EXPECT_EQ(viewer.FrameBitmap->Pixels().pixel(11, 3), 0xFFFF0000);
    EXPECT_EQ(viewer.FrameBitmap->Pixels().pixel(5, 5), face);
    EXPECT_EQ(viewer.FrameBitmap->Pixels().pixel(0, 5), Black); // the window's outline
}

} // namespace

#include "StillViewer.h"
#include "platform/Screen.h"

#include <cmath>
#include <gtest/gtest.h>
#include <thread>

using namespace progress;
using platform::TVariant;

namespace {

class ViewerLines : public testing::Test {
protected:
    void SetUp() override { platform::SetWorkAreaOverride(platform::TRect{0, 0, 1280, 984}); }
    void TearDown() override { platform::SetWorkAreaOverride(std::nullopt); }

    static std::vector<int> Numbers(const TProgressViewer& viewer) {
        std::vector<int> numbers;
        for (const auto& line : viewer.Lines)
            numbers.push_back(line.Number);
        return numbers;
    }
    // The lock must be free for other threads after every operation.
    static bool LinesLockFree(TProgressViewer& viewer) {
        bool free = false;
        std::thread([&] {
            free = viewer.LinesLock->TryEnter();
            if (free)
                viewer.LinesLock->Leave();
        }).join();
        return free;
    }
};

TEST_F(ViewerLines, StartsWithFiveDefaultLinesAndConstructionValues) {
    TStillViewer viewer("Выполняется коррекция базы данных", true, false);
    struct TExpected {
        int Number;
        std::string Text;
        int Size;
    };
    std::vector<TExpected> expected = {
        {-1, "Ваше приложение", 12},
        {0, "Выполняется коррекция базы данных", 14},
        {1000, " ", 8},
        {1001, "Выполняется длительная операция. Она может", 10},
        {1002, "продлиться несколько минут. Пожалуйста, подождите!", 10},
    };
    ASSERT_EQ(viewer.Lines.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const TStringInfo& line = viewer.Lines[i];
        SCOPED_TRACE(line.Number);
        EXPECT_EQ(line.Number, expected[i].Number);
        EXPECT_EQ(line.Text, expected[i].Text);
        EXPECT_EQ(line.FontSize, expected[i].Size);
        EXPECT_EQ(line.Alignment, taCenter);
        EXPECT_FALSE(line.WordWrap);
        EXPECT_EQ(line.FontColor, platform::clBlack);
        EXPECT_EQ(line.FontStyle, platform::fsBold);
        EXPECT_EQ(line.FontName, "MS Sans Serif");
        EXPECT_EQ(line.Height, 0);
    }
    EXPECT_EQ(viewer.Caption, "Выполняется коррекция базы данных");
    EXPECT_EQ(viewer.WindowWidth, 450);
    EXPECT_EQ(viewer.WindowHeight, 70);
    EXPECT_EQ(viewer.RequestedWidth, 450);
    EXPECT_EQ(viewer.BackColor, platform::clBtnFace);
    EXPECT_EQ(viewer.DefaultFontColor, platform::clDefault);
    EXPECT_EQ(viewer.DefaultFontSize, -1);
    EXPECT_EQ(viewer.DefaultFontStyle, 15);
    EXPECT_EQ(viewer.DefaultFontName.Get(), "");
    EXPECT_FALSE(viewer.LinesLaidOut);
    EXPECT_FALSE(viewer.Cancelled);
    EXPECT_TRUE(viewer.FreeOnTerminate);
    EXPECT_EQ(viewer.Worker, nullptr);
}

TEST_F(ViewerLines, EmptyCaptionBecomesOneSpace) {
    TStillViewer viewer("", true, false);
    EXPECT_EQ(viewer.Caption, " ");
    EXPECT_EQ(viewer.Lines[viewer.FindString(0)].Text, " ");
}

TEST_F(ViewerLines, SetStringReplacesOrInsertsInOrder) {
    struct TCase {
        int Number;
        std::vector<int> Order;
    } cases[] = {
        {0, {-1, 0, 1000, 1001, 1002}},
        {500, {-1, 0, 500, 1000, 1001, 1002}},
        {-5, {-5, -1, 0, 1000, 1001, 1002}},
        {2000, {-1, 0, 1000, 1001, 1002, 2000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Number);
        TStillViewer viewer("Заголовок", true, false);
        viewer.LinesLaidOut = true;
        viewer.SetString(c.Number, "новая", taLeftJustify, true, 0x00112233, platform::fsItalic, 9,
                         "DejaVu Serif");
        EXPECT_EQ(Numbers(viewer), c.Order);
        const TStringInfo& line = viewer.Lines[viewer.FindString(c.Number)];
        EXPECT_EQ(line.Text, "новая");
        EXPECT_EQ(line.Alignment, taLeftJustify);
        EXPECT_TRUE(line.WordWrap);
        EXPECT_EQ(line.FontColor, 0x00112233u);
        EXPECT_EQ(line.FontStyle, platform::fsItalic);
        EXPECT_EQ(line.FontSize, 9);
        EXPECT_EQ(line.FontName, "DejaVu Serif");
        EXPECT_FALSE(viewer.LinesLaidOut);
        EXPECT_TRUE(LinesLockFree(viewer));
    }
}

TEST_F(ViewerLines, SetStringKeepsTheMeasuredHeightOfAReplacedLine) {
    TStillViewer viewer("Заголовок", true, false);
    viewer.Lines[viewer.FindString(1000)].Height = 17;
    viewer.SetString(1000, "x", taCenter, false, 0, 0, 8, "");
    EXPECT_EQ(viewer.Lines[viewer.FindString(1000)].Height, 17);
}

TEST_F(ViewerLines, SentinelsTakeViewerDefaultsThenGlobalDefaults) {
    struct TCase {
        const char* Name;
        TColor ViewerColor;
        int ViewerSize;
        TFontStyles ViewerStyle;
        std::string ViewerFace;
        TColor Color;
        TFontStyles Style;
        int Size;
        std::string Face;
        TColor WantColor;
        TFontStyles WantStyle;
        int WantSize;
        std::string WantFace;
    } cases[] = {
        {"globals", platform::clDefault, -1, 15, "", platform::clDefault, 15, -1, "", 0, 0, 8,
         "MS Sans Serif"},
        {"viewer defaults", 0x000000FF, 11, platform::fsItalic, "Tahoma", platform::clDefault, 15,
         -1, "", 0x000000FF, platform::fsItalic, 11, "Tahoma"},
        {"explicit values win", 0x000000FF, 11, platform::fsItalic, "Tahoma", 0x00123456,
         platform::fsUnderline, 9, "DejaVu Sans", 0x00123456, platform::fsUnderline, 9,
         "DejaVu Sans"},
        {"system colour is not a sentinel", platform::clDefault, -1, 15, "", platform::clBtnFace, 0,
         8, "", platform::clBtnFace, 0, 8, "MS Sans Serif"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TStillViewer viewer("Заголовок", true, false);
        viewer.DefaultFontColor = c.ViewerColor;
        viewer.DefaultFontSize = c.ViewerSize;
        viewer.DefaultFontStyle = c.ViewerStyle;
        viewer.DefaultFontName = c.ViewerFace;
        viewer.SetString(7, "строка", taCenter, false, c.Color, c.Style, c.Size, c.Face);
        const TStringInfo& line = viewer.Lines[viewer.FindString(7)];
        EXPECT_EQ(line.FontColor, c.WantColor);
        EXPECT_EQ(line.FontStyle, c.WantStyle);
        EXPECT_EQ(line.FontSize, c.WantSize);
        EXPECT_EQ(line.FontName, c.WantFace);
    }
}

TEST_F(ViewerLines, ChangingDefaultsLeavesExistingLinesAlone) {
    TStillViewer viewer("Заголовок", true, false);
    auto before = viewer.Lines;
    viewer.DefaultFontColor = 0x000000FF;
    viewer.DefaultFontSize = 20;
    std::string savedFace = ProgressDefaultFontName;
    ProgressDefaultFontName = "DejaVu Serif";
    ASSERT_EQ(viewer.Lines.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(viewer.Lines[i].FontColor, before[i].FontColor);
        EXPECT_EQ(viewer.Lines[i].FontSize, before[i].FontSize);
        EXPECT_EQ(viewer.Lines[i].FontName, before[i].FontName);
    }
    ProgressDefaultFontName = savedFace;
}

TEST_F(ViewerLines, ChangeStringParamsFailuresChangeNothing) {
    const std::string prefix = "TProgressViewer.ChangeStringParams -> ";
    struct TCase {
        const char* Name;
        int Number;
        std::vector<TStringParam> Selectors;
        std::vector<TVariant> Values;
        std::string Message;
    } cases[] = {
        {"missing line is reported before the count mismatch",
         5,
         {spText, spFontSize},
         {"a"},
         prefix + "Строка с номером 5 не найдена!"},
        {"count mismatch",
         0,
         {spText, spFontSize},
         {"a"},
         prefix + "Количество параметров и соответствующих им значений не совпадают!"},
        {"conversion error drops the text changed before it",
         0,
         {spText, spFontSize},
         {"новый текст", "крупный"},
         prefix + "Невозможно преобразовать вариант типа (String) в тип (Integer)"},
        {"value beyond 32 bits",
         0,
         {spFontSize},
         {std::int64_t{1} << 40},
         prefix + "Невозможно преобразовать вариант типа (Int64) в тип (Integer)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TStillViewer viewer("Заголовок", true, false);
        viewer.LinesLaidOut = true;
        auto before = viewer.Lines;
        try {
            viewer.ChangeStringParams(c.Number, c.Selectors, c.Values);
            ADD_FAILURE() << "no exception";
        } catch (const EProgressException& error) {
            EXPECT_EQ(error.Message, c.Message);
        }
        ASSERT_EQ(viewer.Lines.size(), before.size());
        for (size_t i = 0; i < before.size(); ++i) {
            EXPECT_EQ(viewer.Lines[i].Text, before[i].Text);
            EXPECT_EQ(viewer.Lines[i].FontSize, before[i].FontSize);
        }
        EXPECT_TRUE(viewer.LinesLaidOut);
        EXPECT_TRUE(LinesLockFree(viewer));
    }
}

TEST_F(ViewerLines, ChangeStringParamsConvertsValuesAndStoresThemAsTheyAre) {
    struct TCase {
        const char* Name;
        std::vector<TStringParam> Selectors;
        std::vector<TVariant> Values;
        std::function<void(const TStringInfo&)> Check;
    } cases[] = {
        {"12.5 rounds to 12",
         {spFontSize},
         {12.5},
         [](const TStringInfo& l) { EXPECT_EQ(l.FontSize, 12); }},
        {"13.5 rounds to 14",
         {spFontSize},
         {13.5},
         [](const TStringInfo& l) { EXPECT_EQ(l.FontSize, 14); }},
        {"size from text",
         {spFontSize},
         {" 16 "},
         [](const TStringInfo& l) { EXPECT_EQ(l.FontSize, 16); }},
        {"sentinels stored as they are",
         {spFontStyle, spFontSize, spFontColor, spFontName},
         {15, -1, std::uint32_t{0x20000000}, ""},
         [](const TStringInfo& l) {
             EXPECT_EQ(l.FontStyle, 15);
             EXPECT_EQ(l.FontSize, -1);
             EXPECT_EQ(l.FontColor, 0x20000000u);
             EXPECT_EQ(l.FontName, "");
         }},
        {"system colour fits although above the signed range",
         {spFontColor},
         {platform::clBtnFace},
         [](const TStringInfo& l) { EXPECT_EQ(l.FontColor, platform::clBtnFace); }},
        {"alignment keeps the low byte",
         {spAlignment},
         {258},
         [](const TStringInfo& l) { EXPECT_EQ(l.Alignment, 2); }},
        {"word wrap from Boolean text",
         {spWordWrap},
         {"True"},
         [](const TStringInfo& l) { EXPECT_TRUE(l.WordWrap); }},
        {"numbers become text",
         {spText, spFontName},
         {2.5, 42},
         [](const TStringInfo& l) {
             EXPECT_EQ(l.Text, "2.5");
             EXPECT_EQ(l.FontName, "42");
         }},
        {"unknown selector skipped with its value",
         {static_cast<TStringParam>(7), spText},
         {"не число", "текст"},
         [](const TStringInfo& l) { EXPECT_EQ(l.Text, "текст"); }},
        {"later value of a repeated selector wins",
         {spText, spText},
         {"первый", "второй"},
         [](const TStringInfo& l) { EXPECT_EQ(l.Text, "второй"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TStillViewer viewer("Заголовок", true, false);
        viewer.LinesLaidOut = true;
        viewer.ChangeStringParams(0, c.Selectors, c.Values);
        c.Check(viewer.Lines[viewer.FindString(0)]);
        EXPECT_FALSE(viewer.LinesLaidOut);
        EXPECT_EQ(viewer.FindString(0), 1); // never re-sorted
    }
}

TEST_F(ViewerLines, ChangeStringParamsWithNothingStillAsksForLayout) {
    TStillViewer viewer("Заголовок", true, false);
    viewer.LinesLaidOut = true;
    auto before = viewer.Lines[1];
    viewer.ChangeStringParams(0, {}, {});
    EXPECT_FALSE(viewer.LinesLaidOut);
    EXPECT_EQ(viewer.Lines[1].Text, before.Text);
}

TEST_F(ViewerLines, SetCaptionChangesOnlyTheTextOfLineZero) {
    TStillViewer viewer("Заголовок", true, false);
    viewer.ChangeStringParams(0, {spFontSize, spFontColor}, {20, 0x000000FF});
    viewer.SetCaption("Другой");
    const TStringInfo& line = viewer.Lines[viewer.FindString(0)];
    EXPECT_EQ(viewer.Caption, "Другой");
    EXPECT_EQ(line.Text, "Другой");
    EXPECT_EQ(line.FontSize, 20);
    EXPECT_EQ(line.FontColor, 0x000000FFu);
}

TEST_F(ViewerLines, SetWindowSizeClampsAndSkipsNoChange) {
    struct TCase {
        int Width, Height;
        int WantWidth, WantHeight;
        bool LaidOutAfter;
    } cases[] = {
        {100, 10, 225, 70, false}, {-1, -1, 450, 70, true},    {450, 70, 450, 70, true},
        {600, -1, 600, 70, false}, {-1, 200, 450, 200, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Width << " x " << c.Height);
        TStillViewer viewer("Заголовок", true, false);
        viewer.LinesLaidOut = true;
        viewer.SetWindowSize(c.Width, c.Height);
        EXPECT_EQ(viewer.WindowWidth, c.WantWidth);
        EXPECT_EQ(viewer.WindowHeight, c.WantHeight);
        EXPECT_EQ(viewer.LinesLaidOut, c.LaidOutAfter);
        EXPECT_EQ(viewer.WindowLeft, (1280 - c.WantWidth) / 2);
        EXPECT_EQ(viewer.WindowTop, 984 - c.WantHeight - 100);
    }
}

TEST_F(ViewerLines, PlacementCentresOnAnAreaStartingAtZero) {
    struct TCase {
        platform::TRect Area;
        int Left, Top;
    } cases[] = {
        {{0, 0, 1280, 984}, 415, 814},
        {{0, 0, 401, 600}, -24, 430},
        {{100, 50, 1380, 984}, 415, 814}, // Left is not added, Top not used
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Area.Right);
        platform::SetWorkAreaOverride(c.Area);
        TStillViewer viewer("Заголовок", true, false);
        EXPECT_EQ(viewer.WindowLeft, c.Left);
        EXPECT_EQ(viewer.WindowTop, c.Top);
    }
}

TEST_F(ViewerLines, RefusesToBuildWithoutTheWindowClass) {
    ProgressWindowClassRegistered = false;
    try {
        TStillViewer viewer("Заголовок", true, false);
        ADD_FAILURE() << "built without the class";
    } catch (const EProgressException& error) {
        EXPECT_EQ(error.Message,
                  "Класс окна визуализации \"ProgressViewerFormClass\" не зарегистрирован!");
    }
    ProgressWindowClassRegistered = true;
}

TEST(ElapsedTime, RunPastMidnightCountsOn) {
    const double second = 1.0 / 86400;
    EXPECT_NEAR(ElapsedTimeOfDay(0.5, 0.5 + 65 * second), 65 * second, 1e-12);
    EXPECT_NEAR(ElapsedTimeOfDay(1 - 5 * second, 10 * second), 15 * second, 1e-12);
}

} // namespace

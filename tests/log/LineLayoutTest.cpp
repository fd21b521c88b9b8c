#include "log/LineLayout.h"
#include "LogTestSupport.h"
#include "platform/DateTime.h"

using namespace logtest;

namespace {

platform::TDateTime Stamp() {
    return platform::EncodeDate(2008, 12, 9) + platform::EncodeTime(13, 5, 7, 123);
}

TLineLayout Defaults() {
    TLineLayout layout;
    layout.TimeFormat = "dd.mm.yyyy hh:nn:ss.zzzz";
    return layout;
}

} // namespace

TEST(LineLayout, EachOptionAloneAndAllTogether) {
    struct TCase {
        const char* Name;
        void (*Setup)(TLineLayout&);
        TLogLevel Level;
        const char* Text;
        const char* Expected;
    };
    const TCase cases[] = {
        {"defaults", [](TLineLayout&) {}, lvEvent, "Старт программы",
         "09.12.2008 13:05:07.123 [событие] Старт программы"},
        {"lvNone has no tag", [](TLineLayout&) {}, lvNone, "текст",
         "09.12.2008 13:05:07.123 текст"},
        {"level char", [](TLineLayout& l) { l.ShowLevelChar = true; }, lvWarning, "т",
         "# 09.12.2008 13:05:07.123 [внимание] т"},
        {"level char of lvNone", [](TLineLayout& l) { l.ShowLevelChar = true; }, lvNone, "т",
         "- 09.12.2008 13:05:07.123 т"},
        {"no tag", [](TLineLayout& l) { l.ShowLevelTag = false; }, lvInfo, "т",
         "09.12.2008 13:05:07.123 т"},
        {"prefix", [](TLineLayout& l) { l.Prefix = "пре фикс"; }, lvDebug, "т",
         "09.12.2008 13:05:07.123 [отладка] пре фикс т"},
        {"process id", [](TLineLayout& l) { l.ShowProcessId = true; }, lvFailure, "т",
         "09.12.2008 13:05:07.123 [сбой] <ID процесса: 4242> т"},
        {"thread id", [](TLineLayout& l) { l.ShowThreadId = true; }, lvOther, "т",
         "09.12.2008 13:05:07.123 [другое] <ID потока: 77> т"},
        {"all together",
         [](TLineLayout& l) {
             l.ShowLevelChar = true;
             l.Prefix = "prefix";
             l.ShowProcessId = true;
             l.ShowThreadId = true;
         },
         lvError, "text",
         "? 09.12.2008 13:05:07.123 [ошибка] prefix <ID процесса: 4242> <ID потока: 77> text"},
        {"inner line breaks stay", [](TLineLayout&) {}, lvInfo, "a\r\nb\tc",
         "09.12.2008 13:05:07.123 [информ.] a\r\nb\tc"},
        {"other time format", [](TLineLayout& l) { l.TimeFormat = "yyyy-mm-dd'T'hh:nn"; }, lvNone,
         "x", "2008-12-09T13:05 x"},
        {"empty text", [](TLineLayout& l) { l.ShowLevelChar = true; }, lvError, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TLineLayout layout = Defaults();
        c.Setup(layout);
        EXPECT_EQ(LayoutLine(layout, c.Text, c.Level, Stamp(), 4242, 77), c.Expected);
    }
}

TEST(LineLayout, TrimsCodesZeroToThirtyTwoAtBothEndsOnly) {
    std::string allLow;
    for (int c = 0; c <= 32; ++c)
        allLow += static_cast<char>(c);
    struct TCase {
        std::string Text;
        std::string Expected;
    };
    const TCase cases[] = {
        {allLow + "x" + allLow, "x"},
        {" \t\r\n a \r\n b \r\n", "a \r\n b"},
        {allLow, ""},
        {"", ""},
        {"!x!", "!x!"}, // 33 is not trimmed
        {"\x7F"
         "x",
         "\x7F"
         "x"}, // nor is DEL
        {"  Ёж  ", "Ёж"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TrimLogText(c.Text), c.Expected) << testing::PrintToString(c.Text);
}

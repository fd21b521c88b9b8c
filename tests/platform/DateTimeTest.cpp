#include "platform/DateTime.h"
#include "platform/Exception.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace platform;

namespace {

TDateTime At(int y, int mo, int d, int h, int mi, int s, int ms) {
    return EncodeDate(y, mo, d) + EncodeTime(h, mi, s, ms);
}

} // namespace

TEST(DateTime, DaysCountFromTheEpoch) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
    EXPECT_EQ(EncodeDate(2000, 2, 29), 36585.0);
    EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    EXPECT_THROW(EncodeDate(2001, 2, 29), EConvertError);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
    auto p = DecodeDateTime(At(2008, 12, 9, 13, 5, 7, 123));
    EXPECT_EQ(p.Year, 2008);
    EXPECT_EQ(p.Month, 12);
    EXPECT_EQ(p.Day, 9);
    EXPECT_EQ(p.Hour, 13);
    EXPECT_EQ(p.Minute, 5);
    EXPECT_EQ(p.Second, 7);
    EXPECT_EQ(p.Millisecond, 123);
    EXPECT_EQ(p.DayOfWeek, 3); // a Tuesday
}

TEST(DateTime, FormatElements) {
    TDateTime value = At(2008, 12, 9, 13, 5, 7, 7);
    struct TCase {
        const char* Format;
        std::string Expected;
    };
    const TCase cases[] = {
        {"dd.mm.yyyy hh:nn:ss.zzzz", "09.12.2008 13:05:07.007"},
        {"d.m.yy h:n:s.z", "9.12.08 13:5:7.7"},
        {"zz|zzz", "007|007"},
        {"hh:mm", "13:05"},
        {"h:mm am/pm", "1:05 pm"},
        {"h:mm A/P", "1:05 P"},
        {"dddd, d mmmm", "вторник, 9 Декабрь"},
        {"ddd mmm", "Вт дек"},
        {"'dd' \"mm\" x", "dd mm x"},
        {"hh:nn", "13" + TimeSeparator() + "05"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatDateTime(c.Format, value), c.Expected) << c.Format;
    EXPECT_EQ(FormatDateTime("dd.mm.yyyy hh:nn:ss.zzz",
                             At(2008, 12, 9, 23, 59, 59, 999) + 0.4 / MSecsPerDay),
              "09.12.2008 23:59:59.999");
    EXPECT_EQ(FormatDateTime("dd.mm.yyyy hh:nn:ss.zzz",
                             At(2008, 12, 9, 23, 59, 59, 999) + 0.6 / MSecsPerDay),
              "10.12.2008 00:00:00.000")
        << "milliseconds that round up carry into the next day";
}

TEST(DateTime, LongTimeFormat) {
    EXPECT_NE(LongTimeFormat().find("nn"), std::string::npos) << LongTimeFormat();
    SetLongTimeFormatOverride("h:nn:ss");
    EXPECT_EQ(FormatLongTime(EncodeTime(0, 0, 5, 0)), "0:00:05");
    EXPECT_EQ(FormatLongTime(EncodeDate(2000, 1, 1) + EncodeTime(1, 2, 3, 0)), "1:02:03");
    EXPECT_EQ(FormatDateTime("tt", EncodeTime(0, 0, 5, 0)), "0:00:05");
    SetLongTimeFormatOverride("");
}

TEST(DateTime, NowIsLocalTime) {
    TDateTime now = Now();
    int64_t ms = LocalWallClockMs();
    // Same instant within the minute, counted two ways.
    EXPECT_NEAR(now, static_cast<double>(ms) / MSecsPerDay + 25569.0, 60000.0 / MSecsPerDay);
    TDateTime time = Time();
    EXPECT_GE(time, 0.0);
    EXPECT_LT(time, 1.0);
    EXPECT_EQ(Date(), std::floor(Date()));
}

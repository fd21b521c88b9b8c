#include "platform/Format.h"

#include <gtest/gtest.h>

#include <vector>

using namespace platform;

namespace {

struct TDecimalGuard {
    explicit TDecimalGuard(const std::string& separator) { SetDecimalSeparatorOverride(separator); }
    ~TDecimalGuard() { SetDecimalSeparatorOverride(""); }
};

} // namespace

TEST(Format, Directives) {
    TDecimalGuard dot(".");
    struct TCase {
        const char* Format;
        std::vector<TVarRec> Args;
        const char* Expected;
    };
    const TCase cases[] = {
        {"%d", {42}, "42"},
        {"%d", {-5}, "-5"},
        {"%d", {3000000000LL}, "3000000000"},
        {"%d", {static_cast<int64_t>(INT64_MIN)}, "-9223372036854775808"},
        {"[%5d]", {42}, "[   42]"},
        {"[%-5d]", {42}, "[42   ]"},
        {"%.4d", {-42}, "-0042"},
        {"%*d", {4, 7}, "   7"},
        {"%u", {-1}, "4294967295"},
        {"%u", {18446744073709551615ULL}, "18446744073709551615"},
        {"%x", {255}, "FF"},
        {"%x", {-1}, "FFFFFFFF"},
        {"%x", {static_cast<int64_t>(-1)}, "FFFFFFFFFFFFFFFF"},
        {"%.4x", {10}, "000A"},
        {"%s", {"Партия"}, "Партия"},
        {"%s", {std::string("строка")}, "строка"},
        {"%.3s", {"абвгд"}, "абв"},
        {"[%6s]", {"аб"}, "[    аб]"},
        {"[%-4s]", {"аб"}, "[аб  ]"},
        {"%0:s-%1:s-%0:s", {"a", "b"}, "a-b-a"},
        {"%1:s %s %0:s", {"a", "b", "c"}, "b c a"},
        {"100%% %s", {"x"}, "100% x"},
        {"no directives", {1, "ignored"}, "no directives"},
        {"%f", {2.0}, "2.00"},
        {"%.3f", {-1.5}, "-1.500"},
        {"%.2f", {0.125}, "0.13"},
        {"%.1e", {1.5}, "2E+000"},
        {"%.0f", {2.5}, "3"},
        {"%.0f", {-2.5}, "-3"},
        {"%.2f", {-0.001}, "0.00"},
        {"%.1f", {9.96}, "10.0"},
        {"%.3f", {1e15}, "1000000000000000.000"},
        {"%.2f", {0.0L}, "0.00"},
        {"%8.2f", {3.14159}, "    3.14"},
        {"%e", {1.0}, "1.00000000000000E+000"},
        {"%.3e", {-12345.0}, "-1.23E+004"},
        {"%.3e", {0.00012345}, "1.23E-004"},
        {"%g", {0.5}, "0.5"},
        {"%g", {1e20}, "1E20"},
        {"%g", {123456.0}, "123456"},
        {"%g", {0.0001}, "0.0001"},
        {"%g", {0.00001}, "1E-5"},
        {"%f", {1.0 / 0.0}, "INF"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Format(c.Format, c.Args), c.Expected) << c.Format;
}

TEST(Format, TheDecimalSeparatorComesFromTheLocaleOrTheOverride) {
    {
        TDecimalGuard comma(",");
        EXPECT_EQ(DecimalSeparator(), ",");
        EXPECT_EQ(Format("%.2f|%.2e|%g", {1.5, 1.5, 1.5}), "1,50|1,5E+000|1,5");
        EXPECT_EQ(Format("%.2f", {-1234.5}), "-1234,50");
    }
    EXPECT_FALSE(DecimalSeparator().empty());
}

TEST(Format, MismatchesRaiseAClearError) {
    struct TCase {
        const char* Format;
        std::vector<TVarRec> Args;
    };
    const TCase cases[] = {
        {"%d", {"x"}}, {"%s", {1}},          {"%f", {1}},       {"%x", {1.5}},
        {"%d", {}},    {"%s %s", {"a"}},     {"%", {1}},        {"%q", {1}},
        {"%5", {1}},   {"%2:s", {"a", "b"}}, {"%*d", {"a", 1}},
    };
    for (const auto& c : cases) {
        try {
            Format(c.Format, c.Args);
            ADD_FAILURE() << c.Format;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message, std::string("Формат \"") + c.Format +
                                     "\" неверен или несовместим с аргументом");
        }
    }
}

#include "platform/Variant.h"
#include "platform/Exception.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>

using platform::TVariant;

namespace {

TEST(Variant, ToIntegerRoundsHalfToEven) {
    struct TCase {
        TVariant Value;
        std::int64_t Want;
    } cases[] = {
        {12.5, 12},   {13.5, 14}, {-2.5, -2},   {2.4999, 2},
        {"12.5", 12}, {" 7 ", 7}, {"$1F", 31},  {"-8", -8},
        {true, -1},   {false, 0}, {"True", -1}, {std::int64_t{1} << 40, std::int64_t{1} << 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Value.ToString());
        EXPECT_EQ(c.Value.ToInt64(), c.Want);
    }
}

TEST(Variant, ToStringAndToBool) {
    EXPECT_EQ(TVariant(2.5).ToString(), "2.5");
    EXPECT_EQ(TVariant(0.1).ToString(), "0.1");
    EXPECT_EQ(TVariant(1e20).ToString(), "1E+20");
    EXPECT_EQ(TVariant(-42).ToString(), "-42");
    EXPECT_EQ(TVariant(true).ToString(), "True");
    EXPECT_TRUE(TVariant("true").ToBool());
    EXPECT_FALSE(TVariant("0").ToBool());
    EXPECT_TRUE(TVariant(0.5).ToBool());
}

TEST(Variant, WhatCannotBeConvertedRaisesConvertError) {
    struct TCase {
        const char* Name;
        std::function<void()> Convert;
        std::string Message;
    } cases[] = {
        {"text to integer", [] { TVariant("abc").ToInt32(); },
         "Невозможно преобразовать вариант типа (String) в тип (Integer)"},
        {"empty text", [] { TVariant("").ToInt64(); },
         "Невозможно преобразовать вариант типа (String) в тип (Int64)"},
        {"beyond 32 bits", [] { TVariant(std::int64_t{1} << 31).ToInt32(); },
         "Невозможно преобразовать вариант типа (Int64) в тип (Integer)"},
        {"not a number", [] { TVariant(std::nan("")).ToInt32(); },
         "Невозможно преобразовать вариант типа (Double) в тип (Integer)"},
        {"text to Boolean", [] { TVariant("да").ToBool(); },
         "Невозможно преобразовать вариант типа (String) в тип (Boolean)"},
        {"no inf from text", [] { TVariant("inf").ToDouble(); },
         "Невозможно преобразовать вариант типа (String) в тип (Double)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        try {
            c.Convert();
            ADD_FAILURE() << "converted";
        } catch (const platform::EConvertError& error) {
            EXPECT_EQ(error.Message, c.Message);
        }
    }
}

} // namespace

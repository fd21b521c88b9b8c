#pragma once
// One value of a table cell, a parameter or an expression. Dates, times and
// timestamps keep the table's own units so nothing is lost on the way.
#include <cstdint>
#include <string>

namespace db {

enum class TValueKind {
    Null,
    Integer,   // Short, Long, Autoincrement
    Float,     // Number, Currency
    Bcd,       // Text holds the exact decimal, Float its nearest double
    Text,      // UTF-8
    Bytes,     // raw bytes: Bytes fields and the stored part of blobs
    Logical,   // Int 0 or 1
    Date,      // Int: days, 1 = 1 January of year 1
    Time,      // Int: milliseconds since midnight
    Timestamp, // Float: milliseconds since the start of day 1 minus one day
};

struct TValue {
    TValueKind Kind = TValueKind::Null;
    int64_t Int = 0;
    double Float = 0;
    std::string Text;

    static TValue Null() { return {}; }
    static TValue Integer(int64_t v) { return {TValueKind::Integer, v, 0, {}}; }
    static TValue Number(double v) { return {TValueKind::Float, 0, v, {}}; }
    static TValue String(std::string v) { return {TValueKind::Text, 0, 0, std::move(v)}; }

    bool IsNull() const { return Kind == TValueKind::Null; }
    bool IsNumeric() const {
        return Kind == TValueKind::Integer || Kind == TValueKind::Float || Kind == TValueKind::Bcd;
    }
    double AsDouble() const {
        return Kind == TValueKind::Integer || Kind == TValueKind::Logical ? static_cast<double>(Int)
                                                                          : Float;
    }
};

} // namespace db

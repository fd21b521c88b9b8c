#pragma once
// String formatting with the original platform's directives:
//   %[index:][-][width][.precision]type
// type d (decimal), u (unsigned), x (upper-case hex), e (scientific), f
// (fixed), g (general), n (fixed with thousands separators), s (string);
// "%%" is a percent sign; index, width and precision may be "*" (taken from
// the arguments). After "%1:s" the next plain directive takes argument 2.
// Numbers are rounded half away from zero on their shortest exact decimal
// digits, so 0.125 with "%.2f" gives 0.13.
#include "platform/Exception.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class TVarRec {
public:
    enum class TKind { Integer, Float, String };

    TVarRec(int value) : Kind(TKind::Integer), Int(value) {}
    TVarRec(long value) : Kind(TKind::Integer), Int(value), Wide(true) {}
    TVarRec(long long value) : Kind(TKind::Integer), Int(value), Wide(true) {}
    TVarRec(unsigned value) : Kind(TKind::Integer), Int(value) {}
    TVarRec(unsigned long value)
        : Kind(TKind::Integer), Int(static_cast<int64_t>(value)), Wide(true), Unsigned(true) {}
    TVarRec(unsigned long long value)
        : Kind(TKind::Integer), Int(static_cast<int64_t>(value)), Wide(true), Unsigned(true) {}
    TVarRec(double value) : Kind(TKind::Float), Float(value) {}
    TVarRec(long double value) : Kind(TKind::Float), Float(value) {}
    TVarRec(const char* value) : Kind(TKind::String), Str(value ? value : "") {}
    TVarRec(std::string value) : Kind(TKind::String), Str(std::move(value)) {}
    TVarRec(std::string_view value) : Kind(TKind::String), Str(value) {}

    TKind Kind;
    int64_t Int = 0;
    long double Float = 0;
    std::string Str;
    bool Wide = false;     // came from a 64-bit integer
    bool Unsigned = false; // came from an unsigned 64-bit integer
};

// Throws EConvertError "Формат "..." неверен или несовместим с аргументом"
// when a directive is malformed, lacks its argument or meets an argument of
// the wrong kind. Arguments left over are ignored.
std::string Format(std::string_view format, std::initializer_list<TVarRec> args);
std::string Format(std::string_view format, const std::vector<TVarRec>& args);

// The decimal separator of %f, %e, %g and %n: the user's LC_NUMERIC (LC_ALL,
// LC_NUMERIC, LANG), "." when unknown. Tests may override it (an empty value
// removes the override).
std::string DecimalSeparator();
std::string ThousandSeparator();
void SetDecimalSeparatorOverride(const std::string& separator);

} // namespace platform

#include "platform/Variant.h"

#include "platform/Exception.h"

#include <cctype>
#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <strings.h>

namespace platform {
namespace {

[[noreturn]] void CastError(const char* from, const char* to) {
    throw EConvertError(std::string("Невозможно преобразовать вариант типа (") + from +
                        ") в тип (" + to + ")");
}

std::string Trimmed(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

bool ParseInteger(const std::string& text, std::int64_t& out) {
    std::string s = Trimmed(text);
    if (s.empty())
        return false;
    int base = 10;
    size_t at = 0;
    bool negative = false;
    if (s[at] == '+' || s[at] == '-')
        negative = s[at++] == '-';
    if (at < s.size() && s[at] == '$') {
        base = 16;
        ++at;
    } else if (at + 1 < s.size() && s[at] == '0' && (s[at + 1] == 'x' || s[at + 1] == 'X')) {
        base = 16;
        at += 2;
    }
    if (at >= s.size())
        return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long magnitude = std::strtoull(s.c_str() + at, &end, base);
    if (errno || *end != '\0' || !std::isxdigit(static_cast<unsigned char>(s[at])))
        return false;
    if (magnitude > static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max()))
        return false;
    out = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
}

bool ParseFloat(const std::string& text, double& out) {
    std::string s = Trimmed(text);
    if (s.empty())
        return false;
    for (char& c : s)
        if (c == ',')
            c = '.';
    errno = 0;
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    // No "inf", "nan" or hex floats from text: only plain decimal numbers.
    for (char c : s)
        if (std::isalpha(static_cast<unsigned char>(c)) && c != 'e' && c != 'E')
            return false;
    return errno == 0 && *end == '\0' && std::isfinite(out);
}

bool ParseBool(const std::string& text, bool& out) {
    std::string s = Trimmed(text);
    if (strcasecmp(s.c_str(), "true") == 0)
        return out = true, true;
    if (strcasecmp(s.c_str(), "false") == 0)
        return out = false, true;
    return false;
}

std::int64_t RoundHalfEven(double value, const char* from, const char* target) {
    if (!std::isfinite(value) || value >= 9223372036854775808.0 || value < -9223372036854775808.0)
        CastError(from, target);
    // nearbyint honours the rounding mode; round-to-nearest is halves to even.
    int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    double rounded = std::nearbyint(value);
    std::fesetround(saved);
    return static_cast<std::int64_t>(rounded);
}

std::string FloatText(double value) {
    // Fifteen significant digits, as the class library shows a double.
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
    std::string text = buffer;
    auto e = text.find('E');
    if (e != std::string::npos) {
        // 1.5E+20, with the exponent's leading zeros dropped.
        std::string mantissa = text.substr(0, e), exponent = text.substr(e + 1);
        char sign = exponent[0];
        exponent = exponent.substr(1);
        while (exponent.size() > 1 && exponent[0] == '0')
            exponent.erase(0, 1);
        text = mantissa + "E" + sign + exponent;
    }
    return text;
}

} // namespace

const char* TVariant::TypeName() const {
    switch (Value.index()) {
    case 0:
        return "String";
    case 1:
        return "Int64";
    case 2:
        return "Double";
    default:
        return "Boolean";
    }
}

std::string TVariant::ToString() const {
    if (auto* s = std::get_if<std::string>(&Value))
        return *s;
    if (auto* i = std::get_if<std::int64_t>(&Value))
        return std::to_string(*i);
    if (auto* d = std::get_if<double>(&Value))
        return FloatText(*d);
    return std::get<bool>(Value) ? "True" : "False";
}

std::int64_t TVariant::ToInt64() const {
    return ToInteger("Int64");
}

std::int64_t TVariant::ToInteger(const char* target) const {
    if (auto* s = std::get_if<std::string>(&Value)) {
        std::int64_t i;
        double d;
        bool b;
        if (ParseInteger(*s, i))
            return i;
        if (ParseFloat(*s, d))
            return RoundHalfEven(d, "String", target);
        if (ParseBool(*s, b))
            return b ? -1 : 0;
        CastError("String", target);
    }
    if (auto* i = std::get_if<std::int64_t>(&Value))
        return *i;
    if (auto* d = std::get_if<double>(&Value))
        return RoundHalfEven(*d, "Double", target);
    // The platform's true is all bits set.
    return std::get<bool>(Value) ? -1 : 0;
}

std::int32_t TVariant::ToInt32() const {
    std::int64_t value = ToInteger("Integer");
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        CastError(TypeName(), "Integer");
    return static_cast<std::int32_t>(value);
}

double TVariant::ToDouble() const {
    if (auto* s = std::get_if<std::string>(&Value)) {
        double d;
        bool b;
        if (ParseFloat(*s, d))
            return d;
        if (ParseBool(*s, b))
            return b ? -1 : 0;
        CastError("String", "Double");
    }
    if (auto* i = std::get_if<std::int64_t>(&Value))
        return static_cast<double>(*i);
    if (auto* d = std::get_if<double>(&Value))
        return *d;
    return std::get<bool>(Value) ? -1 : 0;
}

bool TVariant::ToBool() const {
    if (auto* s = std::get_if<std::string>(&Value)) {
        bool b;
        double d;
        if (ParseBool(*s, b))
            return b;
        if (ParseFloat(*s, d))
            return d != 0;
        CastError("String", "Boolean");
    }
    if (auto* i = std::get_if<std::int64_t>(&Value))
        return *i != 0;
    if (auto* d = std::get_if<double>(&Value))
        return *d != 0;
    return std::get<bool>(Value);
}

} // namespace platform

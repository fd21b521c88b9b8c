#include "platform/Format.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <langinfo.h>
#include <locale.h>
#include <mutex>
#include <optional>

namespace platform {
namespace {

struct TNumericLocale {
    std::string Decimal = ".";
    std::string Thousand;
};

TNumericLocale LoadNumeric() {
    TNumericLocale n;
    locale_t loc = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
        return n;
    std::string dec = nl_langinfo_l(RADIXCHAR, loc);
    std::string thou = nl_langinfo_l(THOUSEP, loc);
    freelocale(loc);
    if (!dec.empty())
        n.Decimal = dec;
    n.Thousand = thou;
    return n;
}

const TNumericLocale& Numeric() {
    static const TNumericLocale numeric = LoadNumeric();
    return numeric;
}

std::mutex overrideLock;
std::optional<std::string> decimalOverride;

[[noreturn]] void Invalid(std::string_view format) {
    throw EConvertError("Формат \"" + std::string(format) +
                        "\" неверен или несовместим с аргументом");
}

// A finite value as its shortest exact decimal digits: value = 0.D * 10^Exp.
struct TDigits {
    bool Negative = false;
    std::string D; // no leading zeros; empty for zero
    int Exp = 0;
};

TDigits ToDigits(long double value) {
    TDigits r;
    r.Negative = std::signbit(value);
    long double a = std::fabs(value);
    if (a == 0)
        return r;
    // 18 significant digits, as many as the extended type carries.
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof(buf), a, std::chars_format::scientific, 17);
    std::string s(buf, res.ptr);
    auto e = s.find('e');
    std::string mant = s.substr(0, e);
    int exp10 = std::stoi(s.substr(e + 1));
    for (char c : mant)
        if (c != '.')
            r.D += c;
    r.Exp = exp10 + 1;
    while (!r.D.empty() && r.D.back() == '0')
        r.D.pop_back();
    return r;
}

// Keeps `keep` digits, rounding half away from zero.
void RoundDigits(TDigits& d, int keep) {
    if (keep < 0) {
        d.D.clear();
        return;
    }
    if (static_cast<int>(d.D.size()) <= keep)
        return;
    bool up = d.D[static_cast<size_t>(keep)] >= '5';
    d.D.resize(static_cast<size_t>(keep));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.D[static_cast<size_t>(i)] == '9') {
            d.D[static_cast<size_t>(i)] = '0';
            --i;
        }
        if (i < 0) {
            d.D.insert(d.D.begin(), '1');
            ++d.Exp;
        } else {
            ++d.D[static_cast<size_t>(i)];
        }
    }
    while (!d.D.empty() && d.D.back() == '0')
        d.D.pop_back();
    if (d.D.empty())
        d.Exp = 0;
}

char DigitAt(const TDigits& d, int pos) { // pos 0 is the first digit after "0."
    return pos >= 0 && pos < static_cast<int>(d.D.size()) ? d.D[static_cast<size_t>(pos)] : '0';
}

std::string Fixed(long double value, int precision, bool thousands) {
    TDigits d = ToDigits(value);
    RoundDigits(d, d.Exp + precision);
    std::string intPart;
    if (d.Exp <= 0 || d.D.empty()) {
        intPart = "0";
    } else {
        for (int i = 0; i < d.Exp; ++i)
            intPart += DigitAt(d, i);
    }
    if (thousands) {
        std::string sep = ThousandSeparator();
        if (!sep.empty()) {
            std::string grouped;
            int count = 0;
            for (size_t i = intPart.size(); i-- > 0;) {
                if (count && count % 3 == 0)
                    grouped.insert(0, sep);
                grouped.insert(grouped.begin(), intPart[i]);
                ++count;
            }
            intPart = grouped;
        }
    }
    std::string out = intPart;
    if (precision > 0) {
        out += DecimalSeparator();
        for (int i = 0; i < precision; ++i)
            out += DigitAt(d, d.Exp + i);
    }
    bool zero = d.D.empty();
    if (d.Negative && !zero)
        out.insert(0, "-");
    return out;
}

std::string Scientific(long double value, int precision) {
    if (precision < 1)
        precision = 1;
    if (precision > 18)
        precision = 18;
    TDigits d = ToDigits(value);
    RoundDigits(d, precision);
    std::string out;
    if (d.Negative && !d.D.empty())
        out += '-';
    out += DigitAt(d, 0);
    if (precision > 1)
        out += DecimalSeparator();
    for (int i = 1; i < precision; ++i)
        out += DigitAt(d, i);
    int exp = d.D.empty() ? 0 : d.Exp - 1;
    out += exp < 0 ? "E-" : "E+";
    std::string e = std::to_string(exp < 0 ? -exp : exp);
    if (e.size() < 3)
        e.insert(0, 3 - e.size(), '0');
    return out + e;
}

std::string General(long double value, int precision) {
    if (precision < 1 || precision > 18)
        precision = 15;
    TDigits d = ToDigits(value);
    RoundDigits(d, precision);
    if (d.D.empty())
        return "0";
    std::string out = d.Negative ? "-" : "";
    if (d.Exp > precision || d.Exp < -3) {
        out += d.D[0];
        if (d.D.size() > 1)
            out += DecimalSeparator() + d.D.substr(1);
        int exp = d.Exp - 1;
        out += exp < 0 ? "E-" : "E";
        out += std::to_string(exp < 0 ? -exp : exp);
        return out;
    }
    if (d.Exp <= 0) {
        out += "0" + DecimalSeparator() + std::string(static_cast<size_t>(-d.Exp), '0') + d.D;
        return out;
    }
    for (int i = 0; i < d.Exp; ++i)
        out += DigitAt(d, i);
    if (static_cast<int>(d.D.size()) > d.Exp)
        out += DecimalSeparator() + d.D.substr(static_cast<size_t>(d.Exp));
    return out;
}

std::string NonFinite(long double value) {
    if (std::isnan(value))
        return "NAN";
    return value < 0 ? "-INF" : "INF";
}

size_t Utf8Length(std::string_view s) {
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

// The first `chars` characters of UTF-8 text, never splitting one.
std::string Utf8Head(std::string_view s, size_t chars) {
    size_t n = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (n == chars)
                return std::string(s.substr(0, i));
            ++n;
        }
    }
    return std::string(s);
}

std::string FormatImpl(std::string_view format, const TVarRec* args, size_t count) {
    std::string out;
    size_t next = 0;
    size_t i = 0;
    while (i < format.size()) {
        size_t pct = format.find('%', i);
        if (pct == std::string_view::npos) {
            out.append(format.substr(i));
            break;
        }
        out.append(format.substr(i, pct - i));
        i = pct + 1;
        if (i >= format.size())
            Invalid(format);
        if (format[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        auto number = [&](int& value) -> bool { // digits or "*"; false when absent
            if (i < format.size() && format[i] == '*') {
                if (next >= count || args[next].Kind != TVarRec::TKind::Integer)
                    Invalid(format);
                value = static_cast<int>(args[next++].Int);
                ++i;
                return true;
            }
            if (i >= format.size() || format[i] < '0' || format[i] > '9')
                return false;
            int64_t v = 0;
            while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
                v = v * 10 + (format[i] - '0');
                if (v > 100000000)
                    Invalid(format);
                ++i;
            }
            value = static_cast<int>(v);
            return true;
        };
        int first = 0;
        bool hasFirst = number(first);
        if (hasFirst && i < format.size() && format[i] == ':') {
            if (first < 0)
                Invalid(format);
            next = static_cast<size_t>(first);
            ++i;
            hasFirst = false;
        }
        bool left = false;
        if (!hasFirst && i < format.size() && format[i] == '-') {
            left = true;
            ++i;
        }
        int width = 0;
        if (hasFirst)
            width = first;
        else
            number(width);
        int precision = -1;
        if (i < format.size() && format[i] == '.') {
            ++i;
            precision = 0;
            number(precision);
        }
        if (i >= format.size())
            Invalid(format);
        char type = static_cast<char>(std::tolower(static_cast<unsigned char>(format[i++])));
        if (next >= count)
            Invalid(format);
        const TVarRec& arg = args[next++];
        std::string text;
        switch (type) {
        case 'd':
        case 'u':
        case 'x': {
            if (arg.Kind != TVarRec::TKind::Integer)
                Invalid(format);
            bool negative = false;
            uint64_t magnitude;
            if (type == 'd' && !arg.Unsigned) {
                negative = arg.Int < 0;
                magnitude =
                    negative ? 0 - static_cast<uint64_t>(arg.Int) : static_cast<uint64_t>(arg.Int);
            } else if (arg.Wide) {
                magnitude = static_cast<uint64_t>(arg.Int);
            } else {
                magnitude = static_cast<uint32_t>(arg.Int);
            }
            char buf[32];
            auto res = std::to_chars(buf, buf + sizeof(buf), magnitude, type == 'x' ? 16 : 10);
            std::string digits(buf, res.ptr);
            if (type == 'x')
                for (char& c : digits)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (precision > 0 && static_cast<int>(digits.size()) < precision)
                digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
            text = negative ? "-" + digits : digits;
            break;
        }
        case 'e':
        case 'f':
        case 'g':
        case 'n': {
            if (arg.Kind != TVarRec::TKind::Float)
                Invalid(format);
            if (!std::isfinite(arg.Float)) {
                text = NonFinite(arg.Float);
            } else if (type == 'e') {
                text = Scientific(arg.Float, precision < 0 ? 15 : precision);
            } else if (type == 'g') {
                text = General(arg.Float, precision < 0 ? 15 : precision);
            } else {
                int p = precision < 0 ? 2 : (precision > 18 ? 18 : precision);
                text = Fixed(arg.Float, p, type == 'n');
            }
            break;
        }
        case 's':
            if (arg.Kind != TVarRec::TKind::String)
                Invalid(format);
            text = precision >= 0 ? Utf8Head(arg.Str, static_cast<size_t>(precision)) : arg.Str;
            break;
        default:
            Invalid(format);
        }
        size_t length = Utf8Length(text);
        if (width > 0 && length < static_cast<size_t>(width)) {
            std::string pad(static_cast<size_t>(width) - length, ' ');
            text = left ? text + pad : pad + text;
        }
        out += text;
    }
    return out;
}

} // namespace

std::string Format(std::string_view format, std::initializer_list<TVarRec> args) {
    return FormatImpl(format, args.begin(), args.size());
}

std::string Format(std::string_view format, const std::vector<TVarRec>& args) {
    return FormatImpl(format, args.data(), args.size());
}

std::string DecimalSeparator() {
    {
        std::lock_guard guard(overrideLock);
        if (decimalOverride)
            return *decimalOverride;
    }
    return Numeric().Decimal;
}

std::string ThousandSeparator() {
    return Numeric().Thousand;
}

void SetDecimalSeparatorOverride(const std::string& separator) {
    std::lock_guard guard(overrideLock);
    if (separator.empty())
        decimalOverride.reset();
    else
        decimalOverride = separator;
}

} // namespace platform

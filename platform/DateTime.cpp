#include "platform/DateTime.h"

#include "platform/Exception.h"

#include <clocale>
#include <cmath>
#include <ctime>
#include <langinfo.h>
#include <locale.h>
#include <mutex>
#include <optional>

namespace platform {
namespace {

// Format elements are ASCII letters; the C library's tolower would consult
// the locale for every character of every time stamp.
char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr int64_t kMsPerDay = 86400000;
// Days from 1970-01-01 to 1899-12-30.
constexpr int64_t kUnixEpochDays = 25569;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool IsLeap(int y) {
    return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
}

const char* const kShortDays[] = {"Вс", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"};
const char* const kLongDays[] = {"воскресенье", "понедельник", "вторник", "среда",
                                 "четверг",     "пятница",     "суббота"};
const char* const kShortMonths[] = {"янв", "фев", "мар", "апр", "май", "июн",
                                    "июл", "авг", "сен", "окт", "ноя", "дек"};
const char* const kLongMonths[] = {"Январь", "Февраль", "Март",     "Апрель",  "Май",    "Июнь",
                                   "Июль",   "Август",  "Сентябрь", "Октябрь", "Ноябрь", "Декабрь"};

struct TLocaleFormats {
    std::string TimeSep = ":";
    std::string DateSep = "/";
    std::string ShortDate = "dd/mm/yyyy";
    std::string LongTime = "hh:nn:ss";
    std::string ShortTime = "hh:nn";
    std::string Am = "AM";
    std::string Pm = "PM";
};

// strftime conversions to pattern elements; unknown ones are dropped.
std::string Translate(std::string_view fmt, bool shortTime) {
    std::string out;
    for (size_t i = 0; i < fmt.size(); ++i) {
        char c = fmt[i];
        if (c != '%') {
            if (c == '"') {
                out += "'\"'";
            } else if (c == '\'') {
                out += "\"'\"";
            } else if (std::string("dmyhnsztacp\"'").find(AsciiLower(c)) != std::string::npos) {
                out += '"';
                out += c;
                out += '"';
            } else {
                out += c;
            }
            continue;
        }
        if (++i >= fmt.size())
            break;
        char k = fmt[i];
        bool unpadded = false;
        if ((k == '-' || k == '_' || k == '0') && i + 1 < fmt.size()) {
            unpadded = k != '0';
            k = fmt[++i];
        }
        switch (k) {
        case 'H':
            out += unpadded ? "h" : "hh";
            break;
        case 'k':
            out += "h";
            break;
        case 'I':
            out += unpadded ? "h" : "hh";
            break;
        case 'l':
            out += "h";
            break;
        case 'M':
            out += "nn";
            break;
        case 'S':
            out += shortTime ? "" : "ss";
            break;
        case 'T':
            out += shortTime ? "hh:nn" : "hh:nn:ss";
            break;
        case 'R':
            out += "hh:nn";
            break;
        case 'p':
        case 'P':
            out += "ampm";
            break;
        case 'd':
            out += unpadded ? "d" : "dd";
            break;
        case 'e':
            out += "d";
            break;
        case 'm':
            out += unpadded ? "m" : "mm";
            break;
        case 'y':
            out += "yy";
            break;
        case 'Y':
            out += "yyyy";
            break;
        case 'D':
            out += "mm/dd/yy";
            break;
        case 'F':
            out += "yyyy-mm-dd";
            break;
        case '%':
            out += "'%'";
            break;
        default:
            break;
        }
    }
    return out;
}

std::string FirstSeparator(std::string_view fmt, std::string fallback) {
    for (size_t i = 0; i + 2 < fmt.size(); ++i) {
        if (fmt[i] == '%' && fmt[i + 2] != '%')
            return std::string(1, fmt[i + 2]);
        if (fmt[i] == '%')
            ++i;
    }
    return fallback;
}

TLocaleFormats LoadLocale() {
    TLocaleFormats f;
    locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
        return f;
    std::string dFmt = nl_langinfo_l(D_FMT, loc);
    std::string tFmt = nl_langinfo_l(T_FMT, loc);
    std::string am = nl_langinfo_l(AM_STR, loc);
    std::string pm = nl_langinfo_l(PM_STR, loc);
    freelocale(loc);
    if (!am.empty())
        f.Am = am;
    if (!pm.empty())
        f.Pm = pm;
    if (tFmt != "%T" && tFmt != "%R")
        f.TimeSep = FirstSeparator(tFmt, std::string(1, ':'));
    f.DateSep = FirstSeparator(dFmt, std::string(1, '/'));
    if (!dFmt.empty())
        f.ShortDate = Translate(dFmt, false);
    if (!tFmt.empty()) {
        f.LongTime = Translate(tFmt, false);
        f.ShortTime = Translate(tFmt, true);
        while (!f.ShortTime.empty() &&
               std::string(":. ").find(f.ShortTime.back()) != std::string::npos)
            f.ShortTime.pop_back();
    }
    return f;
}

std::mutex overrideLock;
std::optional<std::string> longTimeOverride;

const TLocaleFormats& Locale() {
    static const TLocaleFormats formats = LoadLocale();
    return formats;
}

// Every time stamp of every log line passes here: digits go straight into
// the output, without a temporary string.
void AppendNumber(std::string& out, int64_t value, int digits) {
    char buffer[24];
    char* end = buffer + sizeof(buffer);
    char* at = end;
    uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        *--at = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        out += '-';
    if (end - at < digits)
        out.append(static_cast<size_t>(digits - (end - at)), '0');
    out.append(at, static_cast<size_t>(end - at));
}

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view what) {
    if (at + what.size() > text.size())
        return false;
    for (size_t i = 0; i < what.size(); ++i)
        if (AsciiLower(text[at + i]) != what[i])
            return false;
    return true;
}

// True when the pattern holds an am/pm element outside quotes, which makes
// "h" a 12-hour clock.
bool HasHalfDay(std::string_view format) {
    char quote = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        if (StartsWithNoCase(format, i, "am/pm") || StartsWithNoCase(format, i, "a/p") ||
            StartsWithNoCase(format, i, "ampm"))
            return true;
    }
    return false;
}

void FormatInto(std::string& out, std::string_view format, const TDateTimeParts& p, int depth) {
    const TLocaleFormats& loc = Locale();
    bool twelve = HasHalfDay(format);
    bool lastWasHour = false;
    size_t i = 0;
    while (i < format.size()) {
        char c = format[i];
        char lower = AsciiLower(c);
        size_t run = 1;
        while (i + run < format.size() && AsciiLower(format[i + run]) == lower)
            ++run;
        bool hourElement = false;
        switch (lower) {
        case '"':
        case '\'': {
            size_t end = format.find(c, i + 1);
            if (end == std::string_view::npos)
                end = format.size();
            out.append(format.substr(i + 1, end - i - 1));
            i = end < format.size() ? end + 1 : end;
            continue;
        }
        case 'd':
            if (run == 1 || run == 2)
                AppendNumber(out, p.Day, static_cast<int>(run));
            else if (run == 3)
                out += kShortDays[p.DayOfWeek - 1];
            else if (run == 4)
                out += kLongDays[p.DayOfWeek - 1];
            else if (depth < 2)
                FormatInto(out, loc.ShortDate, p, depth + 1);
            run = run > 5 ? 5 : run;
            i += run;
            continue;
        case 'm':
            if (run > 4)
                run = 4;
            if (lastWasHour && run <= 2)
                AppendNumber(out, p.Minute, static_cast<int>(run));
            else if (run <= 2)
                AppendNumber(out, p.Month, static_cast<int>(run));
            else if (run == 3)
                out += kShortMonths[p.Month - 1];
            else
                out += kLongMonths[p.Month - 1];
            break;
        case 'y':
            if (run <= 2)
                AppendNumber(out, p.Year % 100, 2);
            else
                AppendNumber(out, p.Year, 4);
            break;
        case 'h': {
            if (run > 2)
                run = 2;
            int hour = p.Hour;
            if (twelve) {
                hour %= 12;
                if (hour == 0)
                    hour = 12;
            }
            AppendNumber(out, hour, static_cast<int>(run));
            hourElement = true;
            break;
        }
        case 'n':
            if (run > 2)
                run = 2;
            AppendNumber(out, p.Minute, static_cast<int>(run));
            break;
        case 's':
            if (run > 2)
                run = 2;
            AppendNumber(out, p.Second, static_cast<int>(run));
            break;
        case 'z':
            AppendNumber(out, p.Millisecond, run >= 2 ? 3 : 1);
            break;
        case 't':
            if (run > 2)
                run = 2;
            if (depth < 2)
                FormatInto(out, run == 1 ? loc.ShortTime : LongTimeFormat(), p, depth + 1);
            break;
        case 'c':
            run = 1;
            if (depth < 2) {
                FormatInto(out, loc.ShortDate, p, depth + 1);
                if (p.Hour || p.Minute || p.Second || p.Millisecond) {
                    out += ' ';
                    FormatInto(out, LongTimeFormat(), p, depth + 1);
                }
            }
            break;
        case 'a':
            run = 1;
            if (StartsWithNoCase(format, i, "am/pm")) {
                bool upper = c == 'A';
                out += p.Hour < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
                run = 5;
            } else if (StartsWithNoCase(format, i, "a/p")) {
                bool upper = c == 'A';
                out += p.Hour < 12 ? (upper ? "A" : "a") : (upper ? "P" : "p");
                run = 3;
            } else if (StartsWithNoCase(format, i, "ampm")) {
                out += p.Hour < 12 ? loc.Am : loc.Pm;
                run = 4;
            } else {
                out += c;
            }
            break;
        case '/':
            run = 1;
            out += loc.DateSep;
            break;
        case ':':
            run = 1;
            out += loc.TimeSep;
            break;
        default:
            run = 1;
            out += c;
            break;
        }
        // "m" means minutes right after an hour, even across separators.
        if (hourElement)
            lastWasHour = true;
        else if (std::isalpha(static_cast<unsigned char>(c)))
            lastWasHour = false;
        i += run;
    }
}

} // namespace

TDateTime EncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1)
        throw EConvertError("Неверный аргумент для кодирования даты");
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int length = lengths[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0);
    if (day > length)
        throw EConvertError("Неверный аргумент для кодирования даты");
    return static_cast<double>(
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
        kUnixEpochDays);
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        millisecond < 0 || millisecond > 999)
        throw EConvertError("Неверный аргумент для кодирования времени");
    return ((hour * 3600000.0) + minute * 60000.0 + second * 1000.0 + millisecond) / MSecsPerDay;
}

TDateTimeParts DecodeDateTime(TDateTime value) {
    TDateTimeParts p;
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6)
        return p;
    int64_t days;
    int64_t msOfDay;
    if (value >= 0) {
        int64_t total = std::llround(value * MSecsPerDay);
        days = total / kMsPerDay;
        msOfDay = total % kMsPerDay;
    } else {
        // Before the epoch the whole part is the day and the fraction,
        // taken as positive, the time of that day.
        double whole = std::trunc(value);
        days = static_cast<int64_t>(whole);
        msOfDay = std::llround(std::fabs(value - whole) * MSecsPerDay);
        if (msOfDay >= kMsPerDay)
            msOfDay = kMsPerDay - 1;
    }
    CivilFromDays(days - kUnixEpochDays, p.Year, p.Month, p.Day);
    int64_t unixDays = days - kUnixEpochDays;
    p.DayOfWeek = static_cast<int>(((unixDays % 7) + 7 + 4) % 7) + 1; // 1970-01-01 was Thursday
    p.Hour = static_cast<int>(msOfDay / 3600000);
    p.Minute = static_cast<int>(msOfDay / 60000 % 60);
    p.Second = static_cast<int>(msOfDay / 1000 % 60);
    p.Millisecond = static_cast<int>(msOfDay % 1000);
    return p;
}

int64_t LocalWallClockMs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    return (static_cast<int64_t>(ts.tv_sec) + local.tm_gmtoff) * 1000 + ts.tv_nsec / 1000000;
}

// The proleptic Gregorian date of a day counted from 1970-01-01 (H. Hinnant).
void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

TDateTime Now() {
    int64_t ms = LocalWallClockMs();
    int64_t days = ms >= 0 ? ms / kMsPerDay : -((-ms + kMsPerDay - 1) / kMsPerDay);
    int64_t msOfDay = ms - days * kMsPerDay;
    return static_cast<double>(days + kUnixEpochDays) + static_cast<double>(msOfDay) / MSecsPerDay;
}

TDateTime Time() {
    TDateTime now = Now();
    return now - std::floor(now);
}

TDateTime Date() {
    return std::floor(Now());
}

std::string FormatDateTime(std::string_view format, TDateTime value) {
    std::string out;
    out.reserve(format.size() + 16);
    TDateTimeParts parts = DecodeDateTime(value);
    if (format.empty())
        format = "c";
    FormatInto(out, format, parts, 0);
    return out;
}

std::string TimeSeparator() {
    return Locale().TimeSep;
}

std::string DateSeparator() {
    return Locale().DateSep;
}

std::string ShortDateFormat() {
    return Locale().ShortDate;
}

std::string ShortTimeFormat() {
    return Locale().ShortTime;
}

std::string LongTimeFormat() {
    {
        std::lock_guard guard(overrideLock);
        if (longTimeOverride)
            return *longTimeOverride;
    }
    return Locale().LongTime;
}

void SetLongTimeFormatOverride(const std::string& format) {
    std::lock_guard guard(overrideLock);
    if (format.empty())
        longTimeOverride.reset();
    else
        longTimeOverride = format;
}

std::string FormatLongTime(TDateTime value) {
    return FormatDateTime(LongTimeFormat(), value - std::floor(value));
}

} // namespace platform

#pragma once
// Date-time values as the original platform keeps them: days since
// 30.12.1899 in a double, the time of day in the fraction.
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

using TDateTime = double;

constexpr double MSecsPerDay = 86400000.0;

// Local date and time now, to the millisecond.
TDateTime Now();
// The time of day alone (the fraction of Now()).
TDateTime Time();
TDateTime Date();

// Throws EConvertError for values outside the calendar.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);

struct TDateTimeParts {
    int Year = 1899, Month = 12, Day = 30, Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
    int DayOfWeek = 7; // 1 Sunday .. 7 Saturday
};
TDateTimeParts DecodeDateTime(TDateTime value);
// The proleptic Gregorian date of a day counted from 1970-01-01, for any day
// (DecodeDateTime clamps what a date-time value cannot hold).
void CivilFromDays(int64_t z, int& year, int& month, int& day);

// Formats a value with the original platform's pattern elements:
//   d dd ddd dddd   day; short and long day names
//   m mm mmm mmmm   month; short and long month names ("m" after an hour
//                   element means minutes)
//   yy yyyy         year
//   h hh            hour (12-hour when the pattern holds am/pm, a/p, ampm)
//   n nn  s ss      minutes, seconds
//   z               milliseconds; a run of two or more "z" gives three digits
//   am/pm a/p ampm  the half of the day
//   t tt            the short and the long time format
//   c               date, then the long time format unless it is midnight
//   /  :            the date and the time separator
//   "text" 'text'   literal text; any other character stands for itself
// Names of days and months are Russian, the user interface's language.
std::string FormatDateTime(std::string_view format, TDateTime value);

// The system's separators and formats, from the user's LC_TIME (LC_ALL,
// LC_TIME, LANG) as strftime patterns translated to the elements above; a
// missing or unknown locale gives ":" and "hh:nn:ss". Tests may override the
// long time format (an empty value removes the override).
std::string TimeSeparator();
std::string DateSeparator();
std::string ShortDateFormat();
std::string LongTimeFormat();
std::string ShortTimeFormat();
void SetLongTimeFormatOverride(const std::string& format);

// A time of day in the user's long time format, e.g. an elapsed time of five
// seconds as "00:00:05" ("%T" locales) or "0:00:05" ("%k"-style ones).
std::string FormatLongTime(TDateTime value);

// Local wall-clock time in milliseconds since 1970 (the zone's offset added).
int64_t LocalWallClockMs();

} // namespace platform

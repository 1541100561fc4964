// Text forms of values, as the server's regional settings give them.
//
// General Date: "YYYY-MM-DD HH:MM:SS"; the date alone when the time is
// midnight; the time alone when the date part is day 0 (1899-12-30); a
// moment outside the years 0000 to 9999 as its number.
// Numbers: integers in plain digits; doubles in the shortest form that reads
// back the same, at most 15 significant digits, "." as decimal point, no
// exponent for ordinary magnitudes (an exponent, "1E+21", "1E-08", only from
// 1e21 up and below 1e-7). Booleans: "True" / "False".
//
// All functions are pure and thread-safe.

#ifndef KIRVS_SRC_PLATFORM_TEXT_FORMS_H_
#define KIRVS_SRC_PLATFORM_TEXT_FORMS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "kirvs/variant.h"

namespace kirvs {

inline constexpr int64_t kSecondsPerDay = 86400;

// A calendar moment broken into its parts.
struct CivilTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};

// A moment as whole seconds since day 0, to the nearest second; NaN counts
// as day 0 and moments beyond a billion days either way as that limit.
int64_t MomentSeconds(double days);
// Days since 1899-12-30 of a calendar date (proleptic Gregorian).
double DaysFromCivil(int year, int month, int day);
// The moment of a date and time of day.
double MomentFromCivil(const CivilTime& t);
// The parts of a moment, rounded to the nearest second.
CivilTime CivilFromMoment(double days);
// 1 = Sunday ... 7 = Saturday, as the platform numbers weekdays.
int Weekday(double days);
// "Sun", "Mon", ... of a moment.
std::string_view DayName(double days);

std::string FormatInteger(int64_t number);
std::string FormatDouble(double number);
std::string FormatBoolean(bool value);
std::string FormatGeneralDate(double days);
// How a moment is written into a date, time or date-and-time column.
enum class StoredDateLayout { kDateTime, kDate, kTime };
// "YYYY-MM-DD HH:MM:SS", "YYYY-MM-DD" or "HH:MM:SS".
std::string FormatStoredDate(double days, StoredDateLayout layout);
// Whether `text` is already what FormatGeneralDate makes of the moment that
// ParseDate reads from it, so that it can be shown as it stands.
bool IsGeneralDateText(std::string_view text);
// Formats with the pattern "0", "0.0" or "0.00": a fixed count of decimals,
// halves rounded away from zero. Any other pattern formats as FormatDouble.
std::string FormatPattern(double number, std::string_view pattern);

// Reads a date typed into a form: "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]"
// (also with "T" between date and time), or a time "HH:MM[:SS]" alone.
// Blanks around the text are allowed. Nothing else reads as a date.
std::optional<double> ParseDate(std::string_view text);
// A value read as a moment, wherever it is held: a date as it is, text by
// ParseDate, a number as a day count (day 0 = 1899-12-30) within the years
// 0000 to 9999. Nothing for null, empty, a Boolean, a form, or a text or
// number that names no date.
std::optional<double> MomentOf(const Variant& value);
// Reads a whole text as a number (blanks around it allowed): digits with an
// optional sign, decimal point and exponent. Nothing else reads as a number.
std::optional<double> ParseNumber(std::string_view text);
// Reads a whole text as a 32-bit integer, blanks around it allowed.
std::optional<int32_t> ParseInteger(std::string_view text);
// The leading number of a text: leading blanks skipped, blanks between
// digits ignored, "." the decimal point, reading stops at the first character
// that cannot continue the number; 0 when the text has no leading number.
double LeadingNumber(std::string_view text);
// Rounds to the nearest 32-bit integer, a half to the even neighbour;
// clamps to the 32-bit range.
int32_t RoundToInt32(double number);

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_TEXT_FORMS_H_

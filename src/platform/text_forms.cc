#include "platform/text_forms.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "kirvs/variant.h"
#include "platform/ascii.h"

namespace kirvs {

namespace {

// Days from 1899-12-30 (day 0 of a moment) to 1970-01-01.
constexpr int64_t kEpochOffsetDays = 25569;

int64_t DaysFromCivil1970(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays1970(int64_t z, int* year, int* month, int* day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = static_cast<int>(y + (*month <= 2));
}

// Moments are kept within this many days of day 0 when counted in seconds,
// so that the count and the calendar arithmetic on it cannot overflow. The
// calendar (years 0 to 9999) lies well inside.
constexpr double kMomentLimitDays = 1e9;

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// Reads exactly `count` digits at `*pos`, advancing it.
bool ReadDigits(std::string_view text, size_t* pos, size_t count, int* out) {
  if (*pos + count > text.size()) return false;
  int value = 0;
  for (size_t i = 0; i < count; ++i) {
    char c = text[*pos + i];
    if (!IsAsciiDigit(c)) return false;
    value = value * 10 + (c - '0');
  }
  *pos += count;
  *out = value;
  return true;
}

// Reads one or two digits at `*pos`.
bool ReadShortNumber(std::string_view text, size_t* pos, int* out) {
  if (ReadDigits(text, pos, 2, out)) return true;
  return ReadDigits(text, pos, 1, out);
}

bool ReadTime(std::string_view text, size_t* pos, CivilTime* t) {
  if (!ReadShortNumber(text, pos, &t->hour)) return false;
  if (*pos >= text.size() || text[*pos] != ':') return false;
  ++*pos;
  if (!ReadDigits(text, pos, 2, &t->minute)) return false;
  t->second = 0;
  if (*pos < text.size() && text[*pos] == ':') {
    ++*pos;
    if (!ReadDigits(text, pos, 2, &t->second)) return false;
  }
  return t->hour < 24 && t->minute < 60 && t->second < 60;
}

bool ValidDate(const CivilTime& t) {
  static constexpr int kDaysInMonth[] = {31, 29, 31, 30, 31, 30,
                                         31, 31, 30, 31, 30, 31};
  if (t.month < 1 || t.month > 12 || t.day < 1) return false;
  if (t.day > kDaysInMonth[t.month - 1]) return false;
  bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
  return !(t.month == 2 && t.day == 29 && !leap);
}

// The shortest decimal digits (at most 15 significant) of |number| and the
// power of ten of the first digit.
void ShortestDigits(double number, std::string* digits, int* exponent) {
  char buffer[40];
  for (int precision = 1; precision <= 15; ++precision) {
    std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1,
                  std::fabs(number));
    if (precision == 15 || std::strtod(buffer, nullptr) == std::fabs(number)) {
      break;
    }
  }
  std::string_view text(buffer);
  size_t e = text.find('e');
  digits->clear();
  for (char c : text.substr(0, e)) {
    if (IsAsciiDigit(c)) digits->push_back(c);
  }
  *exponent = std::atoi(buffer + e + 1);
  while (digits->size() > 1 && digits->back() == '0') digits->pop_back();
}

}  // namespace

int64_t MomentSeconds(double days) {
  if (std::isnan(days)) return 0;
  days = std::clamp(days, -kMomentLimitDays, kMomentLimitDays);
  return std::llround(days * static_cast<double>(kSecondsPerDay));
}

double DaysFromCivil(int year, int month, int day) {
  return static_cast<double>(DaysFromCivil1970(year,
                                               static_cast<unsigned>(month),
                                               static_cast<unsigned>(day)) +
                             kEpochOffsetDays);
}

double MomentFromCivil(const CivilTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) +
         (t.hour * 3600 + t.minute * 60 + t.second) /
             static_cast<double>(kSecondsPerDay);
}

CivilTime CivilFromMoment(double days) {
  int64_t seconds = MomentSeconds(days);
  int64_t day = FloorDiv(seconds, kSecondsPerDay);
  int64_t second_of_day = seconds - day * kSecondsPerDay;
  CivilTime t;
  CivilFromDays1970(day - kEpochOffsetDays, &t.year, &t.month, &t.day);
  t.hour = static_cast<int>(second_of_day / 3600);
  t.minute = static_cast<int>(second_of_day / 60 % 60);
  t.second = static_cast<int>(second_of_day % 60);
  return t;
}

int Weekday(double days) {
  int64_t day = FloorDiv(MomentSeconds(days), kSecondsPerDay);
  // Day 0, 1899-12-30, was a Saturday.
  int64_t index = ((day + 6) % 7 + 7) % 7;  // 0 = Sunday
  return static_cast<int>(index) + 1;
}

std::string_view DayName(double days) {
  static constexpr std::string_view kNames[] = {"Sun", "Mon", "Tue", "Wed",
                                                "Thu", "Fri", "Sat"};
  return kNames[Weekday(days) - 1];
}

std::string FormatInteger(int64_t number) { return std::to_string(number); }

std::string FormatBoolean(bool value) { return value ? "True" : "False"; }

std::string FormatDouble(double number) {
  if (std::isnan(number)) return "NaN";
  if (std::isinf(number)) return number < 0 ? "-Infinity" : "Infinity";
  if (number == 0) return "0";
  std::string digits;
  int exponent;
  ShortestDigits(number, &digits, &exponent);
  std::string out = number < 0 ? "-" : "";
  const int count = static_cast<int>(digits.size());
  // Whole numbers up to 21 digits are written out, as users read amounts;
  // beyond 15 significant digits the rest are zeros.
  if (exponent >= 21 || exponent < -7) {
    // Exponent form for extraordinary magnitudes only: "1.5E+20".
    out += digits[0];
    if (count > 1) out += "." + digits.substr(1);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "E%c%02d", exponent < 0 ? '-' : '+',
                  std::abs(exponent));
    return out + buffer;
  }
  if (exponent < 0) {
    return out + "0." + std::string(-exponent - 1, '0') + digits;
  }
  if (count <= exponent + 1) {
    return out + digits + std::string(exponent + 1 - count, '0');
  }
  return out + digits.substr(0, exponent + 1) + "." +
         digits.substr(exponent + 1);
}

namespace {

// Appends `value` in exactly `width` digits. Written by hand: every list and
// form formats its dates, and this is several times faster than a formatted
// print.
void AppendDigits(std::string* out, int value, int width) {
  if (value < 0 || value >= (width == 4 ? 10000 : 100)) {
    // Only a year can fall outside: written as a formatted print would.
    char wide[16];
    std::snprintf(wide, sizeof wide, "%0*d", width, value);
    out->append(wide);
    return;
  }
  char buffer[4];
  for (int i = width - 1; i >= 0; --i) {
    buffer[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  out->append(buffer, static_cast<size_t>(width));
}

void AppendCalendarDate(std::string* out, const CivilTime& t) {
  AppendDigits(out, t.year, 4);
  out->push_back('-');
  AppendDigits(out, t.month, 2);
  out->push_back('-');
  AppendDigits(out, t.day, 2);
}

void AppendTimeOfDay(std::string* out, const CivilTime& t) {
  AppendDigits(out, t.hour, 2);
  out->push_back(':');
  AppendDigits(out, t.minute, 2);
  out->push_back(':');
  AppendDigits(out, t.second, 2);
}

}  // namespace

std::string FormatGeneralDate(double days) {
  // Outside the years 0000 to 9999 there is no date to show; the number at
  // least tells what is stored.
  static const int64_t kFirstDay =
      DaysFromCivil1970(0, 1, 1) + kEpochOffsetDays;
  static const int64_t kEndDay =
      DaysFromCivil1970(10000, 1, 1) + kEpochOffsetDays;
  int64_t seconds = MomentSeconds(days);
  int64_t day = FloorDiv(seconds, kSecondsPerDay);
  if (!std::isfinite(days) || day < kFirstDay || day >= kEndDay) {
    return FormatDouble(days);
  }
  CivilTime t = CivilFromMoment(days);
  std::string out;
  bool date_part_zero = seconds >= 0 && seconds < kSecondsPerDay;
  bool midnight = t.hour == 0 && t.minute == 0 && t.second == 0;
  if (!date_part_zero) {
    AppendCalendarDate(&out, t);
    if (midnight) return out;
    out += ' ';
  }
  AppendTimeOfDay(&out, t);
  return out;
}

std::string FormatStoredDate(double days, StoredDateLayout layout) {
  CivilTime t = CivilFromMoment(days);
  std::string out;
  if (layout != StoredDateLayout::kTime) AppendCalendarDate(&out, t);
  if (layout == StoredDateLayout::kDateTime) out.push_back(' ');
  if (layout != StoredDateLayout::kDate) AppendTimeOfDay(&out, t);
  return out;
}

bool IsGeneralDateText(std::string_view text) {
  // "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS", every digit in place; not day 0
  // (shown as a time alone) and not a midnight written out (shown as the
  // date alone).
  if (text.size() != 10 && text.size() != 19) return false;
  static constexpr std::string_view kShape = "dddd-dd-dd dd:dd:dd";
  for (size_t i = 0; i < text.size(); ++i) {
    if (kShape[i] == 'd' ? !IsAsciiDigit(text[i]) : text[i] != kShape[i]) {
      return false;
    }
  }
  if (text.starts_with("1899-12-30")) return false;
  if (text.size() == 19 && text.substr(11) == "00:00:00") return false;
  auto number = [text](size_t at, size_t width) {
    int value = 0;
    for (size_t i = at; i < at + width; ++i) value = value * 10 + text[i] - '0';
    return value;
  };
  CivilTime t;
  t.year = number(0, 4);
  t.month = number(5, 2);
  t.day = number(8, 2);
  if (!ValidDate(t)) return false;
  return text.size() == 10 ||
         (number(11, 2) < 24 && number(14, 2) < 60 && number(17, 2) < 60);
}

std::string FormatPattern(double number, std::string_view pattern) {
  int decimals;
  if (pattern == "0") {
    decimals = 0;
  } else if (pattern == "0.0") {
    decimals = 1;
  } else if (pattern == "0.00") {
    decimals = 2;
  } else {
    return FormatDouble(number);
  }
  if (!std::isfinite(number)) return FormatDouble(number);
  // Round the shortest decimal form, so that 2.675 (stored as 2.67499...)
  // rounds to 2.68 as the user typed it.
  std::string scaled = "0";
  if (number != 0) {
    std::string digits;
    int exponent;
    ShortestDigits(number, &digits, &exponent);
    // Index in `digits` of the last digit kept.
    int last = exponent + decimals;
    if (last >= -1) {
      std::string kept = last >= 0 ? digits.substr(0, last + 1) : "0";
      if (last >= static_cast<int>(digits.size())) {
        kept += std::string(last + 1 - digits.size(), '0');
      }
      int next = last + 1;
      if (next < static_cast<int>(digits.size()) && digits[next] >= '5') {
        int i = static_cast<int>(kept.size()) - 1;
        while (i >= 0 && kept[i] == '9') kept[i--] = '0';
        if (i >= 0) {
          ++kept[i];
        } else {
          kept.insert(kept.begin(), '1');
        }
      }
      scaled = kept;
    }
  }
  if (static_cast<int>(scaled.size()) <= decimals) {
    scaled.insert(0, decimals + 1 - scaled.size(), '0');
  }
  std::string out = scaled.substr(0, scaled.size() - decimals);
  if (decimals > 0) out += "." + scaled.substr(scaled.size() - decimals);
  bool all_zero = scaled.find_first_not_of('0') == std::string::npos;
  if (number < 0 && !all_zero) out.insert(0, "-");
  return out;
}

std::optional<double> ParseDate(std::string_view text) {
  text = TrimBlanks(text);
  CivilTime t;
  size_t pos = 0;
  if (text.size() > 4 && text[4] == '-') {
    if (!ReadDigits(text, &pos, 4, &t.year)) return std::nullopt;
    ++pos;
    if (!ReadShortNumber(text, &pos, &t.month)) return std::nullopt;
    if (pos >= text.size() || text[pos] != '-') return std::nullopt;
    ++pos;
    if (!ReadShortNumber(text, &pos, &t.day)) return std::nullopt;
    if (!ValidDate(t)) return std::nullopt;
    if (pos < text.size()) {
      if (text[pos] != ' ' && text[pos] != 'T') return std::nullopt;
      ++pos;
      if (!ReadTime(text, &pos, &t)) return std::nullopt;
    }
  } else if (!ReadTime(text, &pos, &t)) {
    return std::nullopt;
  }
  if (pos != text.size()) return std::nullopt;
  return MomentFromCivil(t);
}

std::optional<double> ParseNumber(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty()) return std::nullopt;
  bool digit_seen = false;
  for (char c : text) {
    if (IsAsciiDigit(c)) {
      digit_seen = true;
    } else if (c != '+' && c != '-' && c != '.' && c != 'e' && c != 'E') {
      return std::nullopt;
    }
  }
  if (!digit_seen) return std::nullopt;
  std::string copy(text);
  char* end = nullptr;
  double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<int32_t> ParseInteger(std::string_view text) {
  text = TrimBlanks(text);
  size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
    negative = text[pos] == '-';
    ++pos;
  }
  if (pos == text.size()) return std::nullopt;
  int64_t value = 0;
  for (; pos < text.size(); ++pos) {
    if (!IsAsciiDigit(text[pos])) return std::nullopt;
    value = value * 10 + (text[pos] - '0');
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) {
      return std::nullopt;
    }
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return static_cast<int32_t>(value);
}

double LeadingNumber(std::string_view text) {
  std::string number;
  size_t pos = 0;
  auto skip_blanks = [&] {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' ||
                                 text[pos] == '\n' || text[pos] == '\r')) {
      ++pos;
    }
  };
  skip_blanks();
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
    number += text[pos++];
  }
  bool point_seen = false;
  bool digit_seen = false;
  for (;; ++pos) {
    skip_blanks();
    if (pos >= text.size()) break;
    char c = text[pos];
    if (IsAsciiDigit(c)) {
      digit_seen = true;
      number += c;
    } else if (c == '.' && !point_seen) {
      point_seen = true;
      number += c;
    } else {
      break;
    }
  }
  if (!digit_seen) return 0;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    std::string exponent = "e";
    size_t p = pos + 1;
    if (p < text.size() && (text[p] == '-' || text[p] == '+')) {
      exponent += text[p++];
    }
    size_t start = p;
    while (p < text.size() && IsAsciiDigit(text[p])) exponent += text[p++];
    if (p > start) number += exponent;
  }
  return std::strtod(number.c_str(), nullptr);
}

int32_t RoundToInt32(double number) {
  if (std::isnan(number)) return 0;
  double rounded = std::nearbyint(number);
  if (rounded >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (rounded <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(rounded);
}

std::optional<double> MomentOf(const Variant& value) {
  switch (value.type()) {
    case Variant::Type::kDate:
      return value.date();
    case Variant::Type::kText:
      return ParseDate(value.text());
    case Variant::Type::kInteger:
    case Variant::Type::kDouble: {
      // A day count names a date only within the calendar we can show.
      static const double kFirstDay =
          static_cast<double>(DaysFromCivil1970(0, 1, 1) + kEpochOffsetDays);
      static const double kEndDay = static_cast<double>(
          DaysFromCivil1970(10000, 1, 1) + kEpochOffsetDays);
      const double days = value.number();
      if (!(days >= kFirstDay && days < kEndDay)) return std::nullopt;
      return days;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace kirvs

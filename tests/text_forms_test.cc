#include "platform/text_forms.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>

#include "test_support.h"

namespace kirvs {
namespace {

using testing::At;

constexpr double kSecond = 1.0 / 86400;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// A double as it reads back exactly, for failure messages.
std::string Exact(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

// ---------------------------------------------------------------------------
// Calendar arithmetic

TEST(TextFormsCalendar, WeekdayAndDayName) {
  struct Case {
    double days;
    int weekday;
    const char* name;
  };
  const Case cases[] = {{0, 7, "Sat"},
                        {1, 1, "Sun"},
                        {-1, 6, "Fri"},
                        {0.999, 7, "Sat"},
                        {-0.25, 6, "Fri"},
                        {-700000, 7, "Sat"},
                        {At(2026, 3, 3), 3, "Tue"},
                        {At(2026, 3, 4), 4, "Wed"},
                        {At(2026, 3, 6, 23, 59, 59), 6, "Fri"},
                        // 23:59:59.7 shows as the next day, so it is its day.
                        {At(2026, 3, 6) + (86400 - 0.3) * kSecond, 7, "Sat"}};
  for (const Case& c : cases) {
    EXPECT_EQ(c.weekday, Weekday(c.days)) << Exact(c.days);
    EXPECT_EQ(c.name, DayName(c.days)) << Exact(c.days);
  }
}

// ---------------------------------------------------------------------------
// General Date

TEST(TextFormsGeneralDate, Formats) {
  const std::pair<double, const char*> cases[] = {
      // Time alone on day 0, date alone at midnight, or both.
      {0, "00:00:00"},
      {0.75 + 30 * kSecond, "18:00:30"},
      {-0.4 * kSecond, "00:00:00"},
      {At(2026, 3, 5, 14, 30, 15), "2026-03-05 14:30:15"},
      // Rounding to the second.
      {45292 + (43200 + 0.4) * kSecond, "2024-01-01 12:00:00"},
      {45292 + (43200 + 0.6) * kSecond, "2024-01-01 12:00:01"},
      {At(2026, 12, 31) + (86400 - 0.2) * kSecond, "2027-01-01"},
      {-657434, "0100-01-01"},
      {At(1850, 6, 15, 8, 30), "1850-06-15 08:30:00"},
  };
  for (const auto& [days, expected] : cases) {
    EXPECT_EQ(expected, FormatGeneralDate(days)) << Exact(days);
  }
}

TEST(TextFormsGeneralDate, MomentsOutsideTheCalendarFormatAsNumbers) {
  const double cases[] = {kNaN, kInf, -kInf, 1e15, -1e12};
  for (double days : cases) {
    EXPECT_EQ(FormatDouble(days), FormatGeneralDate(days)) << Exact(days);
  }
}

// ---------------------------------------------------------------------------
// Numbers

// The fixed patterns round halves away from zero; any other pattern gives
// the general text form.
TEST(TextFormsNumber, GeneralFormAndPatterns) {
  struct Case {
    double number;
    const char* pattern;
    const char* expected;
  };
  const Case cases[] = {
      {-0.0, "", "0"},
      {0.1 + 0.2, "", "0.3"},
      {-1.0 / 3, "", "-0.333333333333333"},
      {123456789012345678.0, "", "123456789012346000"},
      {1e20, "", "100000000000000000000"},
      {1e-7, "", "0.0000001"},
      // Extraordinary magnitudes.
      {1e21, "", "1E+21"},
      {1e-8, "", "1E-08"},
      {-1.25e-12, "", "-1.25E-12"},
      {4.9e-324, "", "5E-324"},
      {-0.0, "0.00", "0.00"},
      {2.5, "0", "3"},
      {-2.5, "0", "-3"},
      {1.005, "0.00", "1.01"},
      {9.995, "0.00", "10.00"},
      {-0.004, "0.00", "0.00"},
      {-0.005, "0.00", "-0.01"},
      {1.45, "0.0", "1.5"},
      {2147483647.5, "0", "2147483648"},
      {1e20, "0.00", "100000000000000000000.00"},
      {2.5, "#,##0", "2.5"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, FormatPattern(c.number, c.pattern))
        << Exact(c.number) << " with \"" << c.pattern << "\"";
  }
}

// ---------------------------------------------------------------------------
// Reading dates

TEST(TextFormsParseDate, AcceptedForms) {
  // Each text and how the moment read formats.
  const std::pair<const char*, const char*> cases[] = {
      {"2026-03-05T14:30:15", "2026-03-05 14:30:15"},
      {"2026-03-05 14:30", "2026-03-05 14:30:00"},
      {"2026-03-05 00:00:00", "2026-03-05"},
      {"\t2026-03-05 9:05  ", "2026-03-05 09:05:00"},
      {"2026-3-5", "2026-03-05"},
      {"14:30:15", "14:30:15"},
      {"9:05", "09:05:00"},
      {"2000-02-29 23:59:59", "2000-02-29 23:59:59"},
      {"1899-12-30 10:00", "10:00:00"},
      {"0100-01-01", "0100-01-01"},
      {"9999-12-31 23:59:59", "9999-12-31 23:59:59"},
  };
  for (const auto& [text, general_date] : cases) {
    std::optional<double> days = ParseDate(text);
    ASSERT_TRUE(days.has_value()) << text;
    EXPECT_EQ(general_date, FormatGeneralDate(*days)) << text;
  }
  EXPECT_EQ(At(2026, 3, 5), ParseDate("2026-03-05"));
  EXPECT_EQ(0.5, ParseDate("12:00"));
}

TEST(TextFormsParseDate, MalformedInputs) {
  const char* cases[] = {"2026-02-29",
                         "1900-02-29",
                         "2026-13-01",
                         "2026-00-10",
                         "2026-01-00",
                         "2026-04-31",
                         "24:00",
                         "12:60",
                         "12:30:60",
                         "12:5",
                         "12",
                         "123:00",
                         "",
                         "2026-01-01x",
                         "2026-01-01T",
                         "2026-01-01 10",
                         "2026-01-01  10:00",
                         "2026-01-01 10:00:00Z",
                         "2026-01",
                         "02026-01-01",
                         "-10:00",
                         "10:00\n"};
  for (const char* text : cases) {
    std::optional<double> days = ParseDate(text);
    EXPECT_FALSE(days.has_value())
        << "\"" << text << "\" read as " << FormatGeneralDate(days.value_or(0));
  }
}

// A stored text in the general form is shown as it stands; anything else,
// a time out of range included, is read and written anew.
TEST(TextFormsGeneralDate, TextAlreadyInTheGeneralForm) {
  const struct {
    const char* text;
    bool general;
  } cases[] = {
      {"2026-03-05", true},           {"2026-03-05 23:59:59", true},
      {"2026-03-05 24:00:00", false}, {"2026-03-05 10:60:00", false},
      {"2026-03-05 10:00:60", false}, {"2026-03-05 00:00:00", false},
      {"1899-12-30 10:00:00", false}, {"2026-02-30", false},
      {"2026-03-05T10:00:00", false}, {"2026-3-05", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.general, IsGeneralDateText(c.text)) << c.text;
  }
}

// ---------------------------------------------------------------------------
// Reading numbers

TEST(TextFormsParseNumber, AcceptedAndRejected) {
  const std::pair<const char*, double> accepted[] = {
      {" 12 ", 12}, {"\t-3.5\t", -3.5},
      {"+4", 4},    {"1.5E-2", 0.015},
      {".5", 0.5},  {"5.", 5},
      {"007", 7},   {"123456789.125", 123456789.125}};
  for (const auto& [text, expected] : accepted) {
    EXPECT_EQ(expected, ParseNumber(text)) << "\"" << text << "\"";
  }
  const char* rejected[] = {
      "1 OR 1=1", "0x10", "inf", "nan", "",      " ",   "1e999", "1,5", "1.2.3",
      "--1",      "1e",   ".",   "-",   "12abc", "1 2", "1e3.5", "$5",  "\n12"};
  for (const char* text : rejected) {
    std::optional<double> number = ParseNumber(text);
    EXPECT_FALSE(number.has_value())
        << "\"" << text << "\" read as " << Exact(number.value_or(0));
  }
}

TEST(TextFormsParseInteger, AcceptedAndRejected) {
  const std::pair<const char*, int32_t> accepted[] = {
      {" 42 ", 42},
      {"\t5\t", 5},
      {"-7", -7},
      {"+7", 7},
      {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<int32_t>::min()},
      {"00000000000000000000042", 42}};
  for (const auto& [text, expected] : accepted) {
    EXPECT_EQ(expected, ParseInteger(text)) << "\"" << text << "\"";
  }
  const char* rejected[] = {
      "",    " ",   "-",    "2147483648", "-2147483649", "99999999999999999999",
      "1.0", "1e3", "0x10", "12 3",       "1-1",         "--1",
      "+-1", "1;",  "\n1",  "1\n"};
  for (const char* text : rejected) {
    std::optional<int32_t> number = ParseInteger(text);
    EXPECT_FALSE(number.has_value())
        << "\"" << text << "\" read as " << number.value_or(0);
  }
}

TEST(TextFormsLeadingNumber, ReadsTheLeadingNumber) {
  // Blanks, tabs and line ends are skipped anywhere in the number.
  const std::pair<const char*, double> cases[] = {{"  12 3.5abc", 123.5},
                                                  {"abc", 0},
                                                  {"3.5.6", 3.5},
                                                  {"-.5", -0.5},
                                                  {"1e", 1},
                                                  {"1e+2", 100},
                                                  {"2E-1", 0.2},
                                                  {"- 4", -4},
                                                  {"17:30", 17},
                                                  {"-", 0},
                                                  {"+-3", 0},
                                                  {"\n1\n2", 12},
                                                  {"\r3\r4", 34}};
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(expected, LeadingNumber(text)) << "\"" << text << "\"";
  }
}

TEST(TextFormsRoundToInt32, HalvesToEvenAndClamps) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  const std::pair<double, int32_t> cases[] = {
      {0.5, 0},
      {1.5, 2},
      {2.5, 2},
      {-2.5, -2},
      {2147483646.5, 2147483646},
      {-2147483648.0, kMin},
      {1e10, kMax},
      {-1e10, kMin},
      {kInf, kMax},
      {kNaN, 0},
  };
  for (const auto& [number, expected] : cases) {
    EXPECT_EQ(expected, RoundToInt32(number)) << Exact(number);
  }
}

}  // namespace
}  // namespace kirvs

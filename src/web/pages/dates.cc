#include "web/pages/dates.h"

#include <cstdint>
#include <cstdlib>

#include "platform/ascii.h"
#include "platform/text_forms.h"

namespace kirvs::web {

namespace {

constexpr std::string_view kMonths[] = {"Jan", "Feb", "Mar", "Apr",
                                        "May", "Jun", "Jul", "Aug",
                                        "Sep", "Oct", "Nov", "Dec"};

// The value cells of the lists, and of the record pages.
constexpr std::string_view kListCell = "<td><font size=2>";
constexpr std::string_view kRecordCell = "<td><font size=2 face=arial>";

std::string TwoDigits(int n) {
  return std::string(1, static_cast<char>('0' + n / 10 % 10)) +
         static_cast<char>('0' + n % 10);
}

std::string Counted(int64_t n, std::string_view unit) {
  std::string text = std::to_string(n) + " " + std::string(unit);
  if (n != 1) text += 's';
  return text;
}

// The markup of a shown date; `now` > 0 adds its age.
std::optional<std::string> DateMarkup(std::string_view text, double now) {
  std::optional<std::string> shown = ShownDate(text);
  if (!shown) return std::nullopt;
  double moment = *ParseDate(text);
  bool with_time = TrimBlanks(text).size() > 10;
  std::string stamp =
      FormatStoredDate(moment, with_time ? StoredDateLayout::kDateTime
                                         : StoredDateLayout::kDate);
  if (with_time) stamp[10] = 'T';
  std::string markup = "<time datetime=\"" + stamp + "\">" + *shown + "</time>";
  if (now > 0) {
    markup += " <span class=\"kv-age\">" + AgeText(moment, now) + "</span>";
  }
  return markup;
}

void RewriteCells(std::string* fragment, std::string_view cell, double now) {
  for (size_t at = fragment->find(cell); at != std::string::npos;
       at = fragment->find(cell, at + 1)) {
    size_t start = at + cell.size();
    size_t end = fragment->find('<', start);
    if (end == std::string::npos) return;
    if (fragment->compare(end, 5, "</td>") != 0) continue;
    std::optional<std::string> markup =
        DateMarkup(std::string_view(*fragment).substr(start, end - start), now);
    if (markup) fragment->replace(start, end - start, *markup);
  }
}

}  // namespace

std::optional<std::string> ShownDate(std::string_view text) {
  text = TrimBlanks(text);
  // The engine's dates begin with the year; a time alone is left be.
  if (text.size() < 10 || text[4] != '-' || text[7] != '-') {
    return std::nullopt;
  }
  std::optional<double> moment = ParseDate(text);
  if (!moment) return std::nullopt;
  CivilTime t = CivilFromMoment(*moment);
  std::string shown = std::to_string(t.day) + " " +
                      std::string(kMonths[t.month - 1]) + " " +
                      std::to_string(t.year);
  if (text.size() > 10) {
    shown += " " + TwoDigits(t.hour) + ":" + TwoDigits(t.minute);
  }
  return shown;
}

std::string AgeText(double then, double now) {
  int64_t seconds = MomentSeconds(now) - MomentSeconds(then);
  int64_t span = std::llabs(seconds);
  std::string age;
  if (span < 60) return "just now";
  int64_t days = span / kSecondsPerDay;
  if (span < 3600) {
    age = Counted(span / 60, "minute");
  } else if (days < 1) {
    age = Counted(span / 3600, "hour");
  } else if (days < 31) {
    age = Counted(days, "day");
  } else if (days < 365) {
    age = Counted(days / 30, "month");
  } else {
    age = Counted(days / 365, "year");
  }
  return seconds < 0 ? "in " + age : age;
}

void ShowDates(std::string* fragment, double now) {
  RewriteCells(fragment, kListCell, now);
  RewriteCells(fragment, kRecordCell, 0);
}

}  // namespace kirvs::web

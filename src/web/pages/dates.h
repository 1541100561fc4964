// Dates as people read them: "7 Dec 2026 09:00" where the engine shows
// "2026-12-07 09:00:00", and in lists the age beside it ("3 days"). Only
// what is shown as text changes: the value of an input stays in the form
// the engine reads back when the page is saved.
//
// Pure and thread-safe.

#ifndef KIRVS_SRC_WEB_PAGES_DATES_H_
#define KIRVS_SRC_WEB_PAGES_DATES_H_

#include <optional>
#include <string>
#include <string_view>

namespace kirvs::web {

// A date as the engine writes it, "YYYY-MM-DD" with or without a time
// "HH:MM[:SS]", as shown: "7 Dec 2026 09:00", or "7 Dec 2026" for a date
// alone. Nothing for any other text (a time alone stays as it is).
std::optional<std::string> ShownDate(std::string_view text);

// How long before `now` the moment `then` lies (both moments, in days):
// "just now" within a minute, then minutes, hours, days up to a month,
// months up to a year, then years; a moment still to come is "in 3 days".
std::string AgeText(double then, double now);

// Rewrites each date that is the whole text of a cell of `fragment`: in
// the lists, with its age at `now` beside it; in the read-only places of a
// record page, the date alone.
void ShowDates(std::string* fragment, double now);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_PAGES_DATES_H_

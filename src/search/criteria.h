// The criteria of a search: every filled field of a posted search form
// becomes a condition on the column of the same name, joined by " AND "
// after " WHERE ". The first characters of a value choose the operator:
//
//   ">=x" "<=x" "<>x"  that comparison with 'x'
//   "=x"               equality with 'x'
//   "...%..."          Like with the whole value (% is the wildcard)
//   anything else      equality with the whole value
//
// Blanks at the start of a value are dropped and a value left empty adds no
// condition, so a selection list left on its blank option searches nothing.
// Control fields (names beginning with "KIRVS", case included) are skipped.
//
// Field names come from the browser, so they reach the query only as plain
// names (see IsPlainName), bracket-quoted when they are not simple
// identifiers; values are always quoted text with apostrophes doubled.
//
// Pure and thread-safe.

#ifndef KIRVS_SRC_SEARCH_CRITERIA_H_
#define KIRVS_SRC_SEARCH_CRITERIA_H_

#include <string>

#include "kirvs/submitted_form.h"
#include "platform/status.h"

namespace kirvs {

struct SearchCriteria {
  // The condition part of the query: empty or beginning with " WHERE ".
  std::string sql;
  // The same text for a page or ErrorDescription: names and quoted values
  // HTML-escaped, the fixed words and apostrophes around values as in `sql`.
  std::string html;
};

// Builds the criteria of the fields of `form` in posted order. A form that
// is missing (nullptr) gives no criteria. Fails with "unknown column: NAME"
// when a filled field's name is not a plain name; *criteria is then partial.
Status BuildSearchCriteria(const SubmittedForm* form, SearchCriteria* criteria);

}  // namespace kirvs

#endif  // KIRVS_SRC_SEARCH_CRITERIA_H_

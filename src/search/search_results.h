// The results of the two searches: the items of the inventory and the
// solutions of the knowledge base that match the filled fields of a posted
// search form (see criteria.h), followed by the query that was run.

#ifndef KIRVS_SRC_SEARCH_SEARCH_RESULTS_H_
#define KIRVS_SRC_SEARCH_SEARCH_RESULTS_H_

#include "kirvs/variant.h"
#include "pages/session_state.h"

namespace kirvs {

// Lists the rows of Items that match `form` (a submitted form; anything else
// searches with no criteria), with the columns of the setting InventoryList,
// ordered by ItemId: each row has a button "*" + its first column that opens
// the item, and its Description in a line of its own. On success
// ErrorDescription holds the criteria text (empty when no field was filled).
// Returns false with ErrorDescription set and no page when the query cannot
// be run, also when a filled field's name is not a plain name (no query runs
// then).
bool RunInventorySearch(SessionState* session, const Variant& form);

// As RunInventorySearch, on Solutions with the columns of the setting
// SolutionsList, highest SolutionId first, as a plain grid of every column.
bool RunSolutionsSearch(SessionState* session, const Variant& form);

}  // namespace kirvs

#endif  // KIRVS_SRC_SEARCH_SEARCH_RESULTS_H_

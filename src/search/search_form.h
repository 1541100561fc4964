// The search forms of the solutions knowledge base and of the inventory:
// one input per field of a configurable list, named after the field, whose
// filled values the search handlers turn into conditions.

#ifndef KIRVS_SRC_SEARCH_SEARCH_FORM_H_
#define KIRVS_SRC_SEARCH_SEARCH_FORM_H_

#include <optional>
#include <string>

#include "pages/session_state.h"

namespace kirvs {

// Sets the page to the search form of `command`, "SEARCH SOLUTIONS" or
// "SEARCH INVENTORY", and returns true. The fields are the comma-separated
// names of the setting SearchSolutions or SearchInventory ("*" when unset),
// taken exactly as written; a coded field (Location, Status, ...) is a
// selection list of its code table, any other a text input. A code table that
// cannot be read leaves its row without an input.
// Any other command has no form: the handler ends without a result (nullopt)
// and changes nothing, so the status flag keeps its previous value.
// ErrorDescription is never touched.
std::optional<bool> ShowSearchForm(SessionState* session,
                                   const std::string& command);

}  // namespace kirvs

#endif  // KIRVS_SRC_SEARCH_SEARCH_FORM_H_

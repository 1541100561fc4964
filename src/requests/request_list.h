// The request list: a support person's outstanding requests, sortable by any
// column, each with a button that opens it.

#ifndef KIRVS_SRC_REQUESTS_REQUEST_LIST_H_
#define KIRVS_SRC_REQUESTS_REQUEST_LIST_H_

#include "kirvs/variant.h"
#include "pages/session_state.h"

namespace kirvs {

// Lists the requests of Current_Requests allocated to `person`, with the
// columns of the setting RequestList, ordered by `sort_column` (a plain
// column name) and then by the first column; by the first column alone when
// `sort_column` is empty. Returns false with ErrorDescription set when the
// query cannot be run (also for a sort column that is not a plain name).
bool ShowRequestList(SessionState* session, const Variant& person,
                     const Variant& sort_column);

}  // namespace kirvs

#endif  // KIRVS_SRC_REQUESTS_REQUEST_LIST_H_

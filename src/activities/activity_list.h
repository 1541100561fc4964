// The activity log of one service request: every activity, oldest first,
// each with a button that opens it and its description on a line of its own.

#ifndef KIRVS_SRC_ACTIVITIES_ACTIVITY_LIST_H_
#define KIRVS_SRC_ACTIVITIES_ACTIVITY_LIST_H_

#include "kirvs/variant.h"
#include "pages/session_state.h"

namespace kirvs {

// The handler of "ACTIVITIES" (and of the page after "SAVE ACTIVITY"): the
// activities of request `request_no` in the columns of the ActivityList
// setting, ordered by Date/Time. True with the page in HTMLString; false
// with the retrieval message in ErrorDescription when the query fails or
// `request_no` does not read as an integer.
bool ShowActivityList(SessionState* session, const Variant& request_no);

}  // namespace kirvs

#endif  // KIRVS_SRC_ACTIVITIES_ACTIVITY_LIST_H_

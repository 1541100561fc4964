// The form on which a support person records a new activity on a request.

#ifndef KIRVS_SRC_ACTIVITIES_NEW_ACTIVITY_H_
#define KIRVS_SRC_ACTIVITIES_NEW_ACTIVITY_H_

#include <string_view>

#include "kirvs/variant.h"
#include "pages/session_state.h"

namespace kirvs {

// The control field by which the new-activity page tells the save that its
// activity number is only proposed: when another save has taken the number
// meanwhile, the activity is stored under the next free one.
inline constexpr std::string_view kNewActivityMarker = "KIRVSNewActivity";

// The handler of "ADD ACTIVITY". Renumbers the activities of request
// `request_no` 1, 2, 3 ... by Date/Time (stored at once, in one transaction,
// with what Activity_Pages remembers of them) and shows a new row numbered
// after them, dated now, for `person` and his work group, in the columns of
// the DisplayActivity setting. The page carries a new one-time page id
// (data/activity_pages.h) so that saving it twice stores one activity. The row
// is not stored: "SAVE ACTIVITY" does that. True with the page in HTMLString
// and a trace of the work group and the number in ErrorDescription; false with
// the retrieval message when the query fails or `request_no` does not read as
// an integer, and then nothing is renumbered.
bool NewActivity(SessionState* session, const Variant& request_no,
                 const Variant& person);

}  // namespace kirvs

#endif  // KIRVS_SRC_ACTIVITIES_NEW_ACTIVITY_H_

// One activity as an editable form, and the button row that it shares with
// the new-activity page.

#ifndef KIRVS_SRC_ACTIVITIES_ACTIVITY_DISPLAY_H_
#define KIRVS_SRC_ACTIVITIES_ACTIVITY_DISPLAY_H_

#include <string>
#include <string_view>

#include "kirvs/variant.h"
#include "pages/session_state.h"

namespace kirvs {

// The captions of the button row of both activity forms.
inline constexpr std::string_view kActivityFormButtons[] = {
    "Save Activity", "Show Request", "Show List", "Logout"};

// The handler of "SHOW ACTIVITY": activity `act_no` of the request posted as
// RequestNo in `form` (0 when it is not a number), in the columns of the
// DisplayActivity setting. True with the page in HTMLString and what the
// form renderer left in ErrorDescription (a row that does not exist still
// gives the page, with empty values); false with the retrieval message in
// ErrorDescription, and HTMLString as it was, when the query fails or
// `act_no` does not read as an integer.
bool ShowActivity(SessionState* session, const Variant& form,
                  const Variant& act_no);

}  // namespace kirvs

#endif  // KIRVS_SRC_ACTIVITIES_ACTIVITY_DISPLAY_H_

// The allocate, schedule and close pages of a request: the request form with
// the step's own columns, title and buttons. They only show; a default they
// fill in stays in memory until the user saves the page.

#ifndef KIRVS_SRC_REQUESTS_WORKFLOW_PAGES_H_
#define KIRVS_SRC_REQUESTS_WORKFLOW_PAGES_H_

#include "kirvs/variant.h"
#include "pages/session_state.h"

namespace kirvs {

// Columns of AllocateRequest; an empty Allocated shows the current moment.
bool ShowAllocateRequest(SessionState* session, const Variant& request_no,
                         const Variant& person);
// Columns of ScheduleRequest.
bool ShowScheduleRequest(SessionState* session, const Variant& request_no,
                         const Variant& person);
// Columns of CloseRequest; an empty Completed shows the current moment.
bool ShowCloseRequest(SessionState* session, const Variant& request_no,
                      const Variant& person);

}  // namespace kirvs

#endif  // KIRVS_SRC_REQUESTS_WORKFLOW_PAGES_H_

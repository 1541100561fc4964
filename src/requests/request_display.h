// One outstanding request of one person as an editable form, under the
// buttons that lead to saving it and to the workflow pages.

#ifndef KIRVS_SRC_REQUESTS_REQUEST_DISPLAY_H_
#define KIRVS_SRC_REQUESTS_REQUEST_DISPLAY_H_

#include <span>
#include <string_view>

#include "kirvs/variant.h"
#include "pages/session_state.h"

namespace kirvs {

// What distinguishes the pages that show one request: the request display
// and the allocate, schedule and close pages.
struct RequestPageKind {
  std::string_view column_list_key;  // setting with the page's columns
  std::string_view title_prefix;     // banner title before the number
  // The captions of the page's buttons, in order.
  std::span<const std::string_view> buttons;
};

// Shows the request `request_no` of `person` with the columns of the
// setting DisplayRequest. Returns false with ErrorDescription set when the
// query cannot be run (also for a number that does not read as an integer).
// A request that is not found still gives the page, without values.
bool ShowRequest(SessionState* session, const Variant& request_no,
                 const Variant& person);

// Shows the page of `kind` for the request. When `fill_defaults` is given it
// runs on the open record source before the form is drawn, to put defaults
// into the row in memory (nothing is stored).
bool ShowRequestPage(SessionState* session, const Variant& request_no,
                     const Variant& person, const RequestPageKind& kind,
                     void (*fill_defaults)(SessionState*) = nullptr);

}  // namespace kirvs

#endif  // KIRVS_SRC_REQUESTS_REQUEST_DISPLAY_H_

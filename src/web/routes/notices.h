// What the page after a change says happened: "Request 1042 registered.",
// "Request 1025 allocated to Bob Baker.", "Request 1017 closed.", with a
// link to the request while it is still outstanding.
//
// Thread safety: pure functions.

#ifndef KIRVS_SRC_WEB_ROUTES_NOTICES_H_
#define KIRVS_SRC_WEB_ROUTES_NOTICES_H_

#include <cstdint>
#include <optional>
#include <string_view>

#include "kirvs/submitted_form.h"
#include "web/routes/button_map.h"
#include "web/routes/front_state.h"

namespace kirvs::web {

// The notice after a successful post of `button` with `posted` fields;
// nullopt for the buttons that change nothing. `new_request_no` is the
// number of the request the post registered, 0 when it registered none.
std::optional<Notice> NoticeAfter(const Button& button,
                                  const SubmittedForm& posted,
                                  int32_t new_request_no);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_ROUTES_NOTICES_H_

// The login page: the first page of the help desk and the page after a
// logout.

#ifndef KIRVS_SRC_LOGIN_LOGIN_PAGE_H_
#define KIRVS_SRC_LOGIN_LOGIN_PAGE_H_

#include <optional>

#include "kirvs/variant.h"
#include "pages/session_state.h"

namespace kirvs {

// Sets the page to the login form with `user_id` pre-filled and returns true.
// A user id that is neither text nor empty cannot be shown: the handler then
// ends without a result (nullopt) and changes nothing, so the status flag
// keeps its previous value. ErrorDescription is not touched.
std::optional<bool> ShowLoginPage(SessionState* session,
                                  const Variant& user_id);

}  // namespace kirvs

#endif  // KIRVS_SRC_LOGIN_LOGIN_PAGE_H_

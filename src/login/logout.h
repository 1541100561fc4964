// Signing out: removing the login entries of a user id.

#ifndef KIRVS_SRC_LOGIN_LOGOUT_H_
#define KIRVS_SRC_LOGIN_LOGOUT_H_

#include "kirvs/variant.h"
#include "pages/session_state.h"

namespace kirvs {

// The handler of "LOGOUT": removes every login entry of `user_id` (the
// database's own text comparison decides which match), all of them or none.
// Returns true whether or not an entry was found; false with
// ErrorDescription set when DBPath is missing or the entries cannot be read
// or removed.
bool Logout(SessionState* session, const Variant& user_id);

}  // namespace kirvs

#endif  // KIRVS_SRC_LOGIN_LOGOUT_H_

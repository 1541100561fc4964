// Signing out, and the check of a login entry that the save handlers make.

#ifndef KIRVS_SRC_LOGIN_LOGOUT_H_
#define KIRVS_SRC_LOGIN_LOGOUT_H_

#include "kirvs/variant.h"
#include "pages/session_state.h"

namespace kirvs {

// The handler of "LOGOUT": removes every login entry of `user_id` (the
// database's own text comparison decides which match). Returns true whether
// or not an entry was found; false with ErrorDescription set when DBPath is
// missing or Logins cannot be read.
bool Logout(SessionState* session, const Variant& user_id);

// Whether Logins holds an entry whose user name equals `user_id`, ASCII case
// ignored (as the database compares user ids).
// Sets ErrorDescription (and returns false) when Logins cannot be read.
bool HasLoginEntry(SessionState* session, const std::string& user_id);

}  // namespace kirvs

#endif  // KIRVS_SRC_LOGIN_LOGOUT_H_

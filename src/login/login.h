// Signing in: checking a user's id and password, finding his personnel
// profile and recording the login entry that the save handlers check.

#ifndef KIRVS_SRC_LOGIN_LOGIN_H_
#define KIRVS_SRC_LOGIN_LOGIN_H_

#include <string>

#include "kirvs/variant.h"
#include "pages/session_state.h"

namespace kirvs {

// The handler of "LOGIN": reads txtUserId and txtPassword of the submitted
// form in `form`, checks them and writes the login entry. On success sets
// UserId; on failure sets ErrorDescription and returns false.
bool Login(SessionState* session, const Variant& form);

// Checks the password of `user_id` in System_Users and finds the user's
// personnel name in Personnel. On success sets PersonnelName; on failure sets
// ErrorDescription and returns false. The stored password is a hash (or, on
// an older help desk, plain text, which this replaces by its hash); a stored
// password that is null or empty admits nobody. Every outcome costs one
// password hash, an unknown user id included.
bool AuthenticateUser(SessionState* session, const std::string& db_path,
                      const std::string& user_id, const std::string& password);

// Adds the user's row of Logins, or refreshes the date and time of the row
// that matches the user id (ASCII case ignored: one entry per user). The check
// and the write are one write transaction, so two logins of one user id at once
// leave one row.
bool WriteLoginEntry(SessionState* session, const std::string& db_path,
                     const std::string& user_id);

}  // namespace kirvs

#endif  // KIRVS_SRC_LOGIN_LOGIN_H_

// What a visitor is told when the engine fails, and what the access log
// keeps of it. A visitor learns neither where the database lies nor the
// query that failed, and a failed login does not tell him whether the user
// id exists, has a password or has a personnel profile; the operator reads
// the engine's own message in the access log.
//
// Pure and thread-safe.

#ifndef KIRVS_SRC_WEB_PAGES_VISITOR_MESSAGES_H_
#define KIRVS_SRC_WEB_PAGES_VISITOR_MESSAGES_H_

#include <string>
#include <string_view>

namespace kirvs::web {

// The one message of every failed login.
inline constexpr char kLoginFailedMessage[] =
    "The user ID or password is not correct.";

// An engine message (markup whose values are escaped) for the error box:
// the database path `db_path` cut out together with the words that
// introduce it (" in database: "), and a query echo ("strQuery: ..." or
// "SELECT ...", up to the next "<br>") cut out.
std::string ShownMessage(std::string_view error_html, std::string_view db_path);

// An engine message for the access log: whole, except that the database
// path reads "<database>".
std::string LoggedMessage(std::string_view error_html,
                          std::string_view db_path);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_PAGES_VISITOR_MESSAGES_H_

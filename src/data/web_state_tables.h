// The tables in which the web front keeps its state, so that every node
// serving one help desk sees the same sessions, forms and failed logins, and
// a restart loses none of them:
//
//   web_sessions        one row per signed-in session, found by the SHA-256
//                       of its id (a copy of the database hands out no live
//                       session); its user, CSRF token, idle deadline, the
//                       notice for its next page and the order of its list
//   web_pages           the last pages shown in each session
//   web_forms           the one-time ids of the forms that register something
//   web_login_failures  failed and running logins per user id and address
//   web_pending_logins  logins that wait for their second factor
//   web_secrets         keys that every node must share (the login form's)
//
// Times are whole milliseconds of the server's clock (platform/clock.h).
// The text is plain SQL that every store accepts: `?` values, lower_snake
// names, BIGINT times, no store-specific clauses.
//
// Thread safety: every function may be called from any thread; each opens
// a connection of its own.

#ifndef KIRVS_SRC_DATA_WEB_STATE_TABLES_H_
#define KIRVS_SRC_DATA_WEB_STATE_TABLES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/database.h"
#include "platform/status.h"

namespace kirvs {

// The statements that create the tables and their indexes unless they exist,
// for the schema of a new help desk.
extern const char kWebStateTables[];

// Creates the tables of the web front's state in the database at `db_path`
// unless they exist (a help desk made by an earlier release has none).
Status EnsureWebStateTables(const std::string& db_path);

// The secret called `name` that every node of the help desk shares: the one
// stored, or `proposed` when none was stored yet (then it is stored).
Status SharedSecret(const std::string& db_path, std::string_view name,
                    std::string_view proposed, std::string* secret);

// Removes the rows of `table` (one of the web front's, with user_id and
// expires_ms columns) that expired before `now_ms`, on `db`; `*users` gets
// the user ids they belonged to, each once. Two nodes sweeping at once
// remove each row once.
Status RemoveExpired(Database& db, std::string_view table, int64_t now_ms,
                     std::vector<std::string>* users);

// The hexadecimal SHA-256 of `id`: what the tables keep instead of a session
// id.
std::string SessionIdHash(std::string_view id);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_WEB_STATE_TABLES_H_

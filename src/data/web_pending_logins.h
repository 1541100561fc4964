// The logins that wait for their second factor (table web_pending_logins,
// see web_state_tables.h), so that the code may go to another node than
// the password did. A pending login is named by a random id (stored as its
// hash, as a session's); user ids match without regard to ASCII case.
// Times are milliseconds of the server's clock.
//
// Thread safety: every function may be called from any thread; each opens
// a connection of its own.

#ifndef KIRVS_SRC_DATA_WEB_PENDING_LOGINS_H_
#define KIRVS_SRC_DATA_WEB_PENDING_LOGINS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace kirvs {

struct StoredPendingLogin {
  std::string user_id;
  std::string personnel_name;
  int64_t expires_ms = 0;
};

Status AddPendingLogin(const std::string& db_path, std::string_view id,
                       const StoredPendingLogin& login);

// The pending login `id` if it is live at `now_ms`.
Status FindPendingLogin(const std::string& db_path, std::string_view id,
                        int64_t now_ms,
                        std::optional<StoredPendingLogin>* found);

Status EndPendingLogin(const std::string& db_path, std::string_view id);

// Counts a wrong code of `id`; when it makes `max_wrong` (or the login is
// gone) the login ends and `*ended` is true.
Status CountWrongCode(const std::string& db_path, std::string_view id,
                      int max_wrong, bool* ended);

// Whether `user_id` has a pending login live at `now_ms`.
Status HasPendingLogin(const std::string& db_path, std::string_view user_id,
                       int64_t now_ms, bool* has);

// Removes the pending logins that expired before `now_ms`; `*users`
// receives their user ids.
Status SweepPendingLogins(const std::string& db_path, int64_t now_ms,
                          std::vector<std::string>* users);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_WEB_PENDING_LOGINS_H_

// The counts of the login throttle (table web_login_failures, see
// web_state_tables.h): per key (a user id or a client address, as the
// throttle names them) the failed logins, when the latest failed, and the
// attempts running, so that every node of a help desk slows down the same
// guesser. Times are milliseconds of the server's clock.
//
// Thread safety: every function may be called from any thread; each opens
// a connection of its own.

#ifndef KIRVS_SRC_DATA_LOGIN_FAILURES_H_
#define KIRVS_SRC_DATA_LOGIN_FAILURES_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/status.h"

namespace kirvs {

struct LoginFailures {
  int64_t failures = 0;
  int64_t latest_ms = 0;  // when the latest failure came
  int64_t running = 0;    // attempts begun and not yet ended
  int64_t begun_ms = 0;   // when the first of the running attempts began

  bool empty() const { return failures == 0 && running == 0; }
};

// Reads the counts of `keys` (a key never seen has all zeros) and passes
// them, in the order of `keys`, to `change`. When it returns true they are
// written back (a key back to all zeros is removed); when false nothing
// changes. No other change of these keys, from any node, comes in between.
Status ChangeLoginFailures(
    const std::string& db_path, const std::vector<std::string>& keys,
    const std::function<bool(std::vector<LoginFailures>*)>& change);

// Removes the keys whose latest failure and running attempts all began
// before `before_ms`.
Status ForgetLoginFailures(const std::string& db_path, int64_t before_ms);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_LOGIN_FAILURES_H_

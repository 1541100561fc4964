// LoginThrottle: slows down password guessing. Failed logins are counted per
// user id (ASCII case ignored, as the database may compare ids) and per
// client address. After the free failures of a key, each further attempt
// must wait: first_login_delay after the latest failure, doubling with every
// failure up to max_login_delay. A key whose latest failure lies
// forget_failures_after in the past starts afresh, and a successful login
// clears its user id. The limits and the clock are the server's options.
//
// A waiting attempt is refused at once rather than held, so that guessing
// cannot tie up the server's worker threads. An attempt takes its turn
// before it runs (Begin) and counts as a failure until it ends, so that
// guesses sent together, say the moment a wait expires, cannot all run:
// each turn lets one attempt through. An attempt still running kAttemptLease
// after the first of the running ones began is taken to have ended: its
// node stopped (or was killed) before it could end it, and it must not hold
// back the logins from its address for good.
//
// The counts live in the help desk's database (data/login_failures.h), so
// that failures counted on one node slow down the next attempt on another,
// and each Begin takes its turn in one transaction, among every node's.
// When they cannot be read or written the throttle holds nobody back: the
// login that follows fails on the same database anyway.
//
// Thread safety: every member may be called from any thread.

#ifndef KIRVS_SRC_WEB_IDENTITY_LOGIN_THROTTLE_H_
#define KIRVS_SRC_WEB_IDENTITY_LOGIN_THROTTLE_H_

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/login_failures.h"
#include "web/options/serve_options.h"

namespace kirvs::web {

class LoginThrottle {
 public:
  // REQUIRES: `options` outlives the throttle; the tables of the web
  // front's state exist (data/web_state_tables.h).
  explicit LoginThrottle(const ServeOptions& options);

  // Far longer than a login takes, even one that waits for a busy database
  // now and then; short enough that a person locked out by a stopped
  // node's attempts gets in on trying again.
  static constexpr std::chrono::milliseconds kAttemptLease{10000};

  // Starts a login attempt for `user_id` from `address` when it may run
  // now; otherwise returns how long it must still wait. An attempt started
  // must end with exactly one of Failed, Succeeded or Abandoned.
  std::optional<std::chrono::milliseconds> Begin(std::string_view user_id,
                                                 std::string_view address);

  // The attempt failed: it counts against the user id and the address.
  void Failed(std::string_view user_id, std::string_view address);
  // The attempt succeeded: the user id's failures are forgotten.
  void Succeeded(std::string_view user_id, std::string_view address);
  // The attempt did not run after all; it counts for nothing.
  void Abandoned(std::string_view user_id, std::string_view address);

  // Forgets the keys whose failures are forgotten and that nothing runs for.
  void Sweep();

 private:
  // Runs one change of the counts of `user_id` and `address`.
  void Change(std::string_view user_id, std::string_view address,
              const std::function<bool(std::vector<LoginFailures>*)>& change);

  const ServeOptions& options_;
  const std::string db_path_;
  // This node's changes take turns here rather than in the database, whose
  // wait for a busy writer backs off in steps far longer than a change.
  std::mutex mu_;
};

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_IDENTITY_LOGIN_THROTTLE_H_

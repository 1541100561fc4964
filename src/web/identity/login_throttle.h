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
// each turn lets one attempt through.
//
// Thread safety: every member may be called from any thread.

#ifndef KIRVS_SRC_WEB_IDENTITY_LOGIN_THROTTLE_H_
#define KIRVS_SRC_WEB_IDENTITY_LOGIN_THROTTLE_H_

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "web/options/serve_options.h"

namespace kirvs::web {

class LoginThrottle {
 public:
  // Keys tracked at most; beyond it the idle ones are dropped first.
  static constexpr size_t kMaxKeys = 100000;

  // REQUIRES: `options` outlives the throttle.
  explicit LoginThrottle(const ServeOptions& options) : options_(options) {}

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

 private:
  using TimePoint = SteadyClock::TimePoint;

  struct Failures {
    int count = 0;
    TimePoint latest;
    int running = 0;  // attempts begun and not yet ended
  };

  // REQUIRES: mu_ held.
  std::optional<std::chrono::milliseconds> WaitFor(const std::string& key,
                                                   int free_failures,
                                                   TimePoint now);
  // Ends a running attempt of `key`, counting it as a failure or not.
  void End(const std::string& key, bool failed, TimePoint now);
  void Prune(TimePoint now);

  const ServeOptions& options_;
  std::mutex mu_;
  std::unordered_map<std::string, Failures> failures_;
};

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_IDENTITY_LOGIN_THROTTLE_H_

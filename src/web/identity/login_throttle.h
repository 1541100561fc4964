// LoginThrottle: slows down password guessing. Failed logins are counted per
// user id (ASCII case ignored, as the database may compare ids) and per
// client address. After the free failures of a key, each further attempt
// must wait: first_login_delay after the latest failure, doubling with every
// failure up to max_login_delay. A key whose latest failure lies
// forget_failures_after in the past starts afresh, and a successful login
// clears its user id. The limits and the clock are the server's options.
//
// A waiting attempt is refused at once rather than held, so that guessing
// cannot tie up the server's worker threads.
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

  // How long a login attempt for `user_id` from `address` must still wait,
  // or nullopt when it may go ahead.
  std::optional<std::chrono::milliseconds> Wait(std::string_view user_id,
                                                std::string_view address);

  void RecordFailure(std::string_view user_id, std::string_view address);
  void RecordSuccess(std::string_view user_id);

 private:
  using TimePoint = SteadyClock::TimePoint;

  struct Failures {
    int count = 0;
    TimePoint latest;
  };

  // REQUIRES: mu_ held.
  std::optional<std::chrono::milliseconds> WaitFor(const std::string& key,
                                                   int free_failures,
                                                   TimePoint now);
  void Count(const std::string& key, TimePoint now);
  void Prune(TimePoint now);

  const ServeOptions& options_;
  std::mutex mu_;
  std::unordered_map<std::string, Failures> failures_;
};

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_IDENTITY_LOGIN_THROTTLE_H_

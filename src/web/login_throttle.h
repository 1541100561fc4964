// LoginThrottle: slows down password guessing. Failed logins are counted per
// user id (ASCII case ignored, as the database may compare ids) and per
// client address. After the free failures of a key, each further attempt
// must wait: first_delay after the latest failure, doubling with every
// failure up to max_delay. A key whose latest failure lies forget_after in
// the past starts afresh, and a successful login clears its user id.
//
// A waiting attempt is refused at once rather than held, so that guessing
// cannot tie up the server's worker threads.
//
// Thread safety: every member may be called from any thread.

#ifndef KIRVS_SRC_WEB_LOGIN_THROTTLE_H_
#define KIRVS_SRC_WEB_LOGIN_THROTTLE_H_

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kirvs::web {

class LoginThrottle {
 public:
  using Clock = std::chrono::steady_clock;

  struct Limits {
    int free_failures_per_user = 3;
    int free_failures_per_address = 10;
    std::chrono::milliseconds first_delay{1000};
    std::chrono::milliseconds max_delay{60000};
    std::chrono::milliseconds forget_after{15 * 60 * 1000};
  };

  // Keys tracked at most; beyond it the idle ones are dropped first.
  static constexpr size_t kMaxKeys = 100000;

  explicit LoginThrottle(Limits limits) : limits_(limits) {}

  // How long a login attempt for `user_id` from `address` must still wait,
  // or nullopt when it may go ahead.
  std::optional<std::chrono::milliseconds> Wait(std::string_view user_id,
                                                std::string_view address,
                                                Clock::time_point now);

  void RecordFailure(std::string_view user_id, std::string_view address,
                     Clock::time_point now);
  void RecordSuccess(std::string_view user_id);

 private:
  struct Failures {
    int count = 0;
    Clock::time_point latest;
  };

  // REQUIRES: mu_ held.
  std::optional<std::chrono::milliseconds> WaitFor(const std::string& key,
                                                   int free_failures,
                                                   Clock::time_point now);
  void Count(const std::string& key, Clock::time_point now);
  void Prune(Clock::time_point now);

  const Limits limits_;
  std::mutex mu_;
  std::unordered_map<std::string, Failures> failures_;
};

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_LOGIN_THROTTLE_H_

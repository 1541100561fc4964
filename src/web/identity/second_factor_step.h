// SecondFactorStep: the logins that wait for their second factor. A user
// with a second factor who gave the right password has a login entry (the
// engine wrote it) but no session yet; he is known here only by a random
// pending id in a cookie, until he sends a valid code from his
// authenticator app. Only the user id and personnel name are kept, never
// the password.
//
// A pending login ends when its code is accepted, after kMaxWrongCodes wrong
// codes, or kLifetime after the password. The user ids of those that ended
// without a code are handed back (Fail, Sweep), so that their login entries
// can be removed as a logout would.
//
// Thread safety: every member may be called from any thread.

#ifndef KIRVS_SRC_WEB_IDENTITY_SECOND_FACTOR_STEP_H_
#define KIRVS_SRC_WEB_IDENTITY_SECOND_FACTOR_STEP_H_

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "web/options/serve_options.h"

namespace kirvs::web {

struct PendingLogin {
  std::string id;
  std::string user_id;
  std::string personnel_name;
};

class SecondFactorStep {
 public:
  // How long a user has to type his code after the password.
  static constexpr std::chrono::minutes kLifetime{5};
  // Wrong codes after which he must start again with his password.
  static constexpr int kMaxWrongCodes = 5;
  // Pending logins kept at most; beyond it the oldest one ends.
  static constexpr size_t kMaxPending = 10000;

  // REQUIRES: `options` outlives the step.
  explicit SecondFactorStep(const ServeOptions& options) : options_(options) {}

  // Starts waiting for the code of a user whose password was right.
  PendingLogin Start(std::string user_id, std::string personnel_name);

  // The live pending login with this id.
  std::optional<PendingLogin> Find(std::string_view id);

  // Ends the pending login after its code was accepted.
  void Finish(std::string_view id);

  // Counts a wrong code; when it was one too many, ends the pending login
  // and returns true.
  bool Fail(std::string_view id);

  // Whether the user (ASCII case ignored) has a live pending login.
  bool HasUser(std::string_view user_id) const;

  // Ends the pending logins that have expired or were dropped for room;
  // returns their user ids.
  std::vector<std::string> Sweep();

  // Ends every pending login; returns their user ids (at shutdown).
  std::vector<std::string> EndAll();

 private:
  struct Entry {
    std::string user_id;
    std::string personnel_name;
    SteadyClock::TimePoint started;
    int wrong_codes = 0;
  };

  // REQUIRES: mu_ held.
  bool Live(const Entry& entry, SteadyClock::TimePoint now) const;

  const ServeOptions& options_;
  mutable std::mutex mu_;
  std::unordered_map<std::string, Entry> pending_;
  std::vector<std::string> dropped_users_;
};

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_IDENTITY_SECOND_FACTOR_STEP_H_

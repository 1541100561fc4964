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
// Pending logins live in the help desk's database
// (data/web_pending_logins.h), so that the code may go to another node than
// the password, and a restart loses none. What cannot be read counts as no
// pending login.
//
// Thread safety: every member may be called from any thread.

#ifndef KIRVS_SRC_WEB_IDENTITY_SECOND_FACTOR_STEP_H_
#define KIRVS_SRC_WEB_IDENTITY_SECOND_FACTOR_STEP_H_

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
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

  // REQUIRES: `options` outlives the step; the tables of the web front's
  // state exist (data/web_state_tables.h).
  explicit SecondFactorStep(const ServeOptions& options);

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

  // Ends the pending logins that have expired; returns their user ids.
  std::vector<std::string> Sweep();

 private:
  const ServeOptions& options_;
  const std::string db_path_;
};

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_IDENTITY_SECOND_FACTOR_STEP_H_

#include "web/identity/second_factor_step.h"

#include <utility>

#include "data/settings.h"
#include "data/web_pending_logins.h"
#include "web/identity/csrf.h"

namespace kirvs::web {

SecondFactorStep::SecondFactorStep(const ServeOptions& options)
    : options_(options),
      db_path_(ReadSetting(options.settings_path, "DBPath")) {}

PendingLogin SecondFactorStep::Start(std::string user_id,
                                     std::string personnel_name) {
  PendingLogin login{NewSecret(), std::move(user_id),
                     std::move(personnel_name)};
  const int64_t expires =
      ToMillis(options_.clock->Now() + std::chrono::milliseconds(kLifetime));
  // A login that could not be stored is not found when its code comes: the
  // user is asked for his password again.
  (void)AddPendingLogin(
      db_path_, login.id,
      StoredPendingLogin{login.user_id, login.personnel_name, expires});
  return login;
}

std::optional<PendingLogin> SecondFactorStep::Find(std::string_view id) {
  std::optional<StoredPendingLogin> stored;
  if (!FindPendingLogin(db_path_, id, ToMillis(options_.clock->Now()), &stored)
           .ok() ||
      !stored) {
    return std::nullopt;
  }
  return PendingLogin{std::string(id), std::move(stored->user_id),
                      std::move(stored->personnel_name)};
}

void SecondFactorStep::Finish(std::string_view id) {
  // A pending login left behind expires within kLifetime; its code is used.
  (void)EndPendingLogin(db_path_, id);
}

bool SecondFactorStep::Fail(std::string_view id) {
  // A count that cannot be written ends the pending login.
  bool ended = true;
  (void)CountWrongCode(db_path_, id, kMaxWrongCodes, &ended);
  return ended;
}

bool SecondFactorStep::HasUser(std::string_view user_id) const {
  // A look that fails counts as a pending login: the sweep keeps the user's
  // login entry until the next look.
  bool has = true;
  (void)HasPendingLogin(db_path_, user_id, ToMillis(options_.clock->Now()),
                        &has);
  return has;
}

std::vector<std::string> SecondFactorStep::Sweep() {
  // What a failed sweep leaves is swept by the next one.
  std::vector<std::string> users;
  (void)SweepPendingLogins(db_path_, ToMillis(options_.clock->Now()), &users);
  return users;
}

}  // namespace kirvs::web

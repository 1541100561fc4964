#include "web/identity/login_throttle.h"

#include <algorithm>
#include <vector>

#include "data/login_failures.h"
#include "data/settings.h"
#include "platform/ascii.h"

namespace kirvs::web {

namespace {

using std::chrono::milliseconds;

// Users and addresses share one table; the prefixes keep them apart.
// A user id is whatever was posted; only its start is kept, so that long
// made-up ids cannot fill the table.
constexpr size_t kMaxKeyLength = 128;

std::vector<std::string> Keys(std::string_view user_id,
                              std::string_view address) {
  return {"u:" + AsciiUpper(user_id.substr(0, kMaxKeyLength)),
          "a:" + std::string(address.substr(0, kMaxKeyLength))};
}

// Failures whose latest lies `forget` in the past are forgotten; attempts
// running since longer than the lease belonged to a node that stopped
// before they ended.
void Forget(LoginFailures* key, int64_t now, milliseconds forget) {
  if (key->failures > 0 && now - key->latest_ms > forget.count()) {
    key->failures = 0;
  }
  if (key->running > 0 &&
      now - key->begun_ms > LoginThrottle::kAttemptLease.count()) {
    key->running = 0;
  }
}

// Ends a running attempt of `key`, counting it as a failure or not.
void End(LoginFailures* key, bool failed, int64_t now, milliseconds forget) {
  if (key->running > 0) --key->running;
  if (failed) {
    Forget(key, now, forget);
    ++key->failures;
    key->latest_ms = now;
  }
}

}  // namespace

LoginThrottle::LoginThrottle(const ServeOptions& options)
    : options_(options),
      db_path_(ReadSetting(options.settings_path, "DBPath")) {}

std::optional<milliseconds> LoginThrottle::Begin(std::string_view user_id,
                                                 std::string_view address) {
  const int64_t now = ToMillis(options_.clock->Now());
  const int free_failures[] = {options_.free_failures_per_user,
                               options_.free_failures_per_address};
  std::optional<milliseconds> wait;
  Change(user_id, address, [&](std::vector<LoginFailures>* keys) {
    for (size_t i = 0; i < keys->size(); ++i) {
      LoginFailures& key = (*keys)[i];
      Forget(&key, now, options_.forget_failures_after);
      // A running attempt counts as failed until it ends: within the
      // free failures that leaves room for fewer others, beyond them
      // for none.
      if (key.failures + key.running < free_failures[i]) continue;
      milliseconds key_wait = options_.first_login_delay;
      if (key.running == 0) {
        milliseconds delay = options_.first_login_delay;
        for (int64_t n = free_failures[i];
             n < key.failures && delay < options_.max_login_delay; ++n) {
          delay *= 2;
        }
        delay = std::min(delay, options_.max_login_delay);
        milliseconds waited(now - key.latest_ms);
        if (waited >= delay) continue;
        key_wait = delay - waited;
      }
      wait = std::max(wait.value_or(milliseconds(0)), key_wait);
    }
    if (wait) return false;
    // The lease runs from the first of the attempts running, so that
    // attempts begun every moment cannot keep a stopped node's alive.
    for (LoginFailures& key : *keys) {
      if (key.running == 0) key.begun_ms = now;
      ++key.running;
    }
    return true;
  });
  return wait;
}

void LoginThrottle::Failed(std::string_view user_id, std::string_view address) {
  const int64_t now = ToMillis(options_.clock->Now());
  Change(user_id, address, [&](std::vector<LoginFailures>* keys) {
    for (LoginFailures& key : *keys) {
      End(&key, true, now, options_.forget_failures_after);
    }
    return true;
  });
}

void LoginThrottle::Succeeded(std::string_view user_id,
                              std::string_view address) {
  const int64_t now = ToMillis(options_.clock->Now());
  Change(user_id, address, [&](std::vector<LoginFailures>* keys) {
    // Another attempt for the same id may still run; it ends on no
    // entry.
    (*keys)[0] = LoginFailures();
    End(&(*keys)[1], false, now, options_.forget_failures_after);
    return true;
  });
}

void LoginThrottle::Abandoned(std::string_view user_id,
                              std::string_view address) {
  const int64_t now = ToMillis(options_.clock->Now());
  Change(user_id, address, [&](std::vector<LoginFailures>* keys) {
    for (LoginFailures& key : *keys) {
      End(&key, false, now, options_.forget_failures_after);
    }
    return true;
  });
}

void LoginThrottle::Change(
    std::string_view user_id, std::string_view address,
    const std::function<bool(std::vector<LoginFailures>*)>& change) {
  std::lock_guard lock(mu_);
  // A database that cannot be written cannot check a password either: the
  // login that this change belongs to fails on the same database.
  (void)ChangeLoginFailures(db_path_, Keys(user_id, address), change);
}

void LoginThrottle::Sweep() {
  const int64_t now = ToMillis(options_.clock->Now());
  // What a failed sweep leaves is forgotten by the next one.
  (void)ForgetLoginFailures(db_path_,
                            now - options_.forget_failures_after.count());
}

}  // namespace kirvs::web

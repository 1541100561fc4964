#include "web/identity/second_factor_step.h"

#include <algorithm>
#include <utility>

#include "platform/ascii.h"
#include "web/identity/csrf.h"

namespace kirvs::web {

PendingLogin SecondFactorStep::Start(std::string user_id,
                                     std::string personnel_name) {
  PendingLogin login{NewSecret(), std::move(user_id),
                     std::move(personnel_name)};
  SteadyClock::TimePoint now = options_.clock->Now();
  std::lock_guard lock(mu_);
  if (pending_.size() >= kMaxPending) {
    auto oldest = std::min_element(pending_.begin(), pending_.end(),
                                   [](const auto& a, const auto& b) {
                                     return a.second.started < b.second.started;
                                   });
    dropped_users_.push_back(oldest->second.user_id);
    pending_.erase(oldest);
  }
  pending_[login.id] = Entry{login.user_id, login.personnel_name, now, 0};
  return login;
}

std::optional<PendingLogin> SecondFactorStep::Find(std::string_view id) {
  if (id.empty()) return std::nullopt;
  SteadyClock::TimePoint now = options_.clock->Now();
  std::lock_guard lock(mu_);
  auto it = pending_.find(std::string(id));
  if (it == pending_.end() || !Live(it->second, now)) return std::nullopt;
  return PendingLogin{it->first, it->second.user_id, it->second.personnel_name};
}

void SecondFactorStep::Finish(std::string_view id) {
  std::lock_guard lock(mu_);
  pending_.erase(std::string(id));
}

bool SecondFactorStep::Fail(std::string_view id) {
  std::lock_guard lock(mu_);
  auto it = pending_.find(std::string(id));
  if (it == pending_.end()) return true;
  if (++it->second.wrong_codes < kMaxWrongCodes) return false;
  pending_.erase(it);
  return true;
}

bool SecondFactorStep::HasUser(std::string_view user_id) const {
  SteadyClock::TimePoint now = options_.clock->Now();
  std::lock_guard lock(mu_);
  return std::any_of(pending_.begin(), pending_.end(), [&](const auto& entry) {
    return Live(entry.second, now) &&
           EqualsIgnoringCase(entry.second.user_id, user_id);
  });
}

std::vector<std::string> SecondFactorStep::Sweep() {
  SteadyClock::TimePoint now = options_.clock->Now();
  std::lock_guard lock(mu_);
  std::vector<std::string> users = std::exchange(dropped_users_, {});
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (Live(it->second, now)) {
      ++it;
      continue;
    }
    users.push_back(it->second.user_id);
    it = pending_.erase(it);
  }
  return users;
}

std::vector<std::string> SecondFactorStep::EndAll() {
  std::lock_guard lock(mu_);
  std::vector<std::string> users = std::exchange(dropped_users_, {});
  for (const auto& [id, entry] : pending_) users.push_back(entry.user_id);
  pending_.clear();
  return users;
}

bool SecondFactorStep::Live(const Entry& entry,
                            SteadyClock::TimePoint now) const {
  return now - entry.started <= kLifetime;
}

}  // namespace kirvs::web

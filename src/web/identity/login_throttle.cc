#include "web/identity/login_throttle.h"

#include <algorithm>

#include "platform/ascii.h"

namespace kirvs::web {

namespace {

// Users and addresses share one map; the prefixes keep them apart.
// A user id is whatever was posted; only its start is kept, so that long
// made-up ids cannot fill the memory.
constexpr size_t kMaxKeyLength = 128;

std::string UserKey(std::string_view user_id) {
  return "u:" + AsciiUpper(user_id.substr(0, kMaxKeyLength));
}

std::string AddressKey(std::string_view address) {
  return "a:" + std::string(address.substr(0, kMaxKeyLength));
}

}  // namespace

std::optional<std::chrono::milliseconds> LoginThrottle::Wait(
    std::string_view user_id, std::string_view address) {
  TimePoint now = options_.clock->Now();
  std::lock_guard lock(mu_);
  auto by_user =
      WaitFor(UserKey(user_id), options_.free_failures_per_user, now);
  auto by_address =
      WaitFor(AddressKey(address), options_.free_failures_per_address, now);
  if (by_user && by_address) return std::max(*by_user, *by_address);
  return by_user ? by_user : by_address;
}

void LoginThrottle::RecordFailure(std::string_view user_id,
                                  std::string_view address) {
  TimePoint now = options_.clock->Now();
  std::lock_guard lock(mu_);
  if (failures_.size() >= kMaxKeys) Prune(now);
  Count(UserKey(user_id), now);
  Count(AddressKey(address), now);
}

void LoginThrottle::RecordSuccess(std::string_view user_id) {
  std::lock_guard lock(mu_);
  failures_.erase(UserKey(user_id));
}

std::optional<std::chrono::milliseconds> LoginThrottle::WaitFor(
    const std::string& key, int free_failures, TimePoint now) {
  auto it = failures_.find(key);
  if (it == failures_.end()) return std::nullopt;
  const Failures& failures = it->second;
  if (now - failures.latest > options_.forget_failures_after) {
    failures_.erase(it);
    return std::nullopt;
  }
  if (failures.count < free_failures) return std::nullopt;
  auto delay = options_.first_login_delay;
  for (int i = free_failures;
       i < failures.count && delay < options_.max_login_delay; ++i) {
    delay *= 2;
  }
  delay = std::min(delay, options_.max_login_delay);
  auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
      now - failures.latest);
  if (waited >= delay) return std::nullopt;
  return delay - waited;
}

void LoginThrottle::Count(const std::string& key, TimePoint now) {
  Failures& failures = failures_[key];
  if (failures.count > 0 &&
      now - failures.latest > options_.forget_failures_after) {
    failures.count = 0;
  }
  ++failures.count;
  failures.latest = now;
}

void LoginThrottle::Prune(TimePoint now) {
  std::erase_if(failures_, [&](const auto& entry) {
    return now - entry.second.latest > options_.forget_failures_after;
  });
  // Then the keys that make nobody wait yet, so that filling the map with
  // new names does not wipe the count of a user under attack.
  if (failures_.size() >= kMaxKeys / 2) {
    std::erase_if(failures_, [&](const auto& entry) {
      return entry.second.count <= options_.free_failures_per_user;
    });
  }
  // Never grow without bound.
  if (failures_.size() >= kMaxKeys) failures_.clear();
}

}  // namespace kirvs::web

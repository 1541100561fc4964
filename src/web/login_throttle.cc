#include "web/login_throttle.h"

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
    std::string_view user_id, std::string_view address, Clock::time_point now) {
  std::lock_guard lock(mu_);
  auto by_user = WaitFor(UserKey(user_id), limits_.free_failures_per_user, now);
  auto by_address =
      WaitFor(AddressKey(address), limits_.free_failures_per_address, now);
  if (by_user && by_address) return std::max(*by_user, *by_address);
  return by_user ? by_user : by_address;
}

void LoginThrottle::RecordFailure(std::string_view user_id,
                                  std::string_view address,
                                  Clock::time_point now) {
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
    const std::string& key, int free_failures, Clock::time_point now) {
  auto it = failures_.find(key);
  if (it == failures_.end()) return std::nullopt;
  const Failures& failures = it->second;
  if (now - failures.latest > limits_.forget_after) {
    failures_.erase(it);
    return std::nullopt;
  }
  if (failures.count < free_failures) return std::nullopt;
  auto delay = limits_.first_delay;
  for (int i = free_failures; i < failures.count && delay < limits_.max_delay;
       ++i) {
    delay *= 2;
  }
  delay = std::min(delay, limits_.max_delay);
  auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
      now - failures.latest);
  if (waited >= delay) return std::nullopt;
  return delay - waited;
}

void LoginThrottle::Count(const std::string& key, Clock::time_point now) {
  Failures& failures = failures_[key];
  if (failures.count > 0 && now - failures.latest > limits_.forget_after) {
    failures.count = 0;
  }
  ++failures.count;
  failures.latest = now;
}

void LoginThrottle::Prune(Clock::time_point now) {
  std::erase_if(failures_, [&](const auto& entry) {
    return now - entry.second.latest > limits_.forget_after;
  });
  // Then the keys that make nobody wait yet, so that filling the map with
  // new names does not wipe the count of a user under attack.
  if (failures_.size() >= kMaxKeys / 2) {
    std::erase_if(failures_, [&](const auto& entry) {
      return entry.second.count <= limits_.free_failures_per_user;
    });
  }
  // Never grow without bound.
  if (failures_.size() >= kMaxKeys) failures_.clear();
}

}  // namespace kirvs::web

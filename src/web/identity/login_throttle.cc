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

std::optional<std::chrono::milliseconds> LoginThrottle::Begin(
    std::string_view user_id, std::string_view address) {
  TimePoint now = options_.clock->Now();
  std::string user_key = UserKey(user_id);
  std::string address_key = AddressKey(address);
  std::lock_guard lock(mu_);
  auto by_user = WaitFor(user_key, options_.free_failures_per_user, now);
  auto by_address =
      WaitFor(address_key, options_.free_failures_per_address, now);
  if (by_user || by_address) {
    return std::max(by_user.value_or(std::chrono::milliseconds(0)),
                    by_address.value_or(std::chrono::milliseconds(0)));
  }
  if (failures_.size() >= kMaxKeys) Prune(now);
  ++failures_[user_key].running;
  ++failures_[address_key].running;
  return std::nullopt;
}

void LoginThrottle::Failed(std::string_view user_id, std::string_view address) {
  TimePoint now = options_.clock->Now();
  std::lock_guard lock(mu_);
  End(UserKey(user_id), true, now);
  End(AddressKey(address), true, now);
}

void LoginThrottle::Succeeded(std::string_view user_id,
                              std::string_view address) {
  TimePoint now = options_.clock->Now();
  std::lock_guard lock(mu_);
  End(AddressKey(address), false, now);
  // Another attempt for the same id may still run; it ends on no entry.
  failures_.erase(UserKey(user_id));
}

void LoginThrottle::Abandoned(std::string_view user_id,
                              std::string_view address) {
  TimePoint now = options_.clock->Now();
  std::lock_guard lock(mu_);
  End(UserKey(user_id), false, now);
  End(AddressKey(address), false, now);
}

std::optional<std::chrono::milliseconds> LoginThrottle::WaitFor(
    const std::string& key, int free_failures, TimePoint now) {
  auto it = failures_.find(key);
  if (it == failures_.end()) return std::nullopt;
  Failures& failures = it->second;
  if (failures.count > 0 &&
      now - failures.latest > options_.forget_failures_after) {
    failures.count = 0;
  }
  // A running attempt counts as failed until it ends: within the free
  // failures that leaves room for fewer others, beyond them for none.
  if (failures.count + failures.running < free_failures) return std::nullopt;
  if (failures.running > 0) return options_.first_login_delay;
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

void LoginThrottle::End(const std::string& key, bool failed, TimePoint now) {
  Failures& failures = failures_[key];
  if (failures.running > 0) --failures.running;
  if (failed) {
    if (failures.count > 0 &&
        now - failures.latest > options_.forget_failures_after) {
      failures.count = 0;
    }
    ++failures.count;
    failures.latest = now;
  }
  if (failures.count == 0 && failures.running == 0) failures_.erase(key);
}

void LoginThrottle::Prune(TimePoint now) {
  std::erase_if(failures_, [&](const auto& entry) {
    return entry.second.running == 0 &&
           now - entry.second.latest > options_.forget_failures_after;
  });
  // Then the keys that make nobody wait yet, so that filling the map with
  // new names does not wipe the count of a user under attack.
  if (failures_.size() >= kMaxKeys / 2) {
    std::erase_if(failures_, [&](const auto& entry) {
      return entry.second.running == 0 &&
             entry.second.count <= options_.free_failures_per_user;
    });
  }
  // Never grow without bound.
  if (failures_.size() >= kMaxKeys) failures_.clear();
}

}  // namespace kirvs::web

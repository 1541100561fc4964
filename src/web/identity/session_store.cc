#include "web/identity/session_store.h"

#include <algorithm>
#include <utility>

#include "platform/ascii.h"
#include "web/identity/csrf.h"

namespace kirvs::web {

namespace {

// The database may compare user ids without regard to case, so "ann" and
// "ANN" are taken for one user.
bool SameUser(std::string_view a, std::string_view b) {
  return EqualsIgnoringCase(a, b);
}

void AddUserOnce(std::vector<std::string>* users, const std::string& user) {
  for (const std::string& known : *users) {
    if (SameUser(known, user)) return;
  }
  users->push_back(user);
}

}  // namespace

SessionStore::SessionStore(const ServeOptions& options) : options_(options) {}

SessionStore::Place SessionStore::Reserve(std::string_view user_id) {
  const size_t max_sessions = std::max<size_t>(1, options_.max_sessions);
  const size_t per_user = std::max<size_t>(1, options_.max_sessions_per_user);
  SteadyClock::TimePoint now = options_.clock->Now();
  std::lock_guard lock(mu_);
  if (sessions_.size() + reserved_ >= max_sessions) DropIdle(now);
  if (sessions_.size() + reserved_ < max_sessions) {
    ++reserved_;
    return Place::kFree;
  }
  // Only the user's own sessions ever make room for him.
  if (CountUser(user_id) >= per_user) return Place::kUsersOwn;
  return Place::kNone;
}

void SessionStore::Release(Place place) {
  std::lock_guard lock(mu_);
  if (place == Place::kFree && reserved_ > 0) --reserved_;
}

SessionView SessionStore::Create(Place place, std::string user_id,
                                 std::string personnel_name) {
  SessionView view{NewSecret(), std::move(user_id), std::move(personnel_name),
                   NewSecret()};
  SteadyClock::TimePoint now = options_.clock->Now();
  const size_t per_user = std::max<size_t>(1, options_.max_sessions_per_user);
  std::lock_guard lock(mu_);
  if (place == Place::kFree && reserved_ > 0) --reserved_;
  TrimUser(view.user_id, per_user - 1);
  sessions_[view.id] = Session{view.user_id,
                               view.personnel_name,
                               view.token,
                               now,
                               next_serial_++,
                               {},
                               1};
  return view;
}

std::optional<SessionView> SessionStore::Find(std::string_view id) {
  if (id.empty()) return std::nullopt;
  SteadyClock::TimePoint now = options_.clock->Now();
  std::lock_guard lock(mu_);
  auto it = sessions_.find(std::string(id));
  // An idle session stays until Sweep, which also removes its login entry.
  if (it == sessions_.end() || IsIdle(it->second, now)) {
    return std::nullopt;
  }
  it->second.last_seen = now;
  const Session& session = it->second;
  return SessionView{it->first, session.user_id, session.personnel_name,
                     session.token};
}

uint64_t SessionStore::KeepPage(std::string_view id, std::string fragment) {
  std::lock_guard lock(mu_);
  auto it = sessions_.find(std::string(id));
  if (it == sessions_.end()) return 0;
  Session& session = it->second;
  uint64_t number = session.next_page++;
  session.pages.push_back(KeptPage{number, std::move(fragment)});
  if (session.pages.size() > kKeptPages) session.pages.pop_front();
  return number;
}

std::optional<KeptPage> SessionStore::Page(std::string_view id,
                                           uint64_t number) const {
  std::lock_guard lock(mu_);
  auto it = sessions_.find(std::string(id));
  if (it == sessions_.end() || it->second.pages.empty()) return std::nullopt;
  for (const KeptPage& page : it->second.pages) {
    if (page.number == number) return page;
  }
  return it->second.pages.back();
}

void SessionStore::End(std::string_view id) {
  std::lock_guard lock(mu_);
  sessions_.erase(std::string(id));
}

void SessionStore::EndUser(std::string_view user_id) {
  std::lock_guard lock(mu_);
  std::erase_if(sessions_, [&](const auto& entry) {
    return SameUser(entry.second.user_id, user_id);
  });
}

std::vector<std::string> SessionStore::Sweep() {
  SteadyClock::TimePoint now = options_.clock->Now();
  std::lock_guard lock(mu_);
  DropIdle(now);
  std::vector<std::string> candidates = std::move(evicted_users_);
  evicted_users_.clear();
  std::vector<std::string> gone;
  for (const std::string& user : candidates) {
    if (!UserHasSession(user)) AddUserOnce(&gone, user);
  }
  return gone;
}

std::vector<std::string> SessionStore::EndAll() {
  std::lock_guard lock(mu_);
  std::vector<std::string> users = std::move(evicted_users_);
  evicted_users_.clear();
  for (const auto& [id, session] : sessions_) {
    AddUserOnce(&users, session.user_id);
  }
  sessions_.clear();
  return users;
}

size_t SessionStore::size() const {
  std::lock_guard lock(mu_);
  return sessions_.size();
}

bool SessionStore::HasUser(std::string_view user_id) const {
  std::lock_guard lock(mu_);
  return UserHasSession(user_id);
}

bool SessionStore::UserHasSession(std::string_view user_id) const {
  return std::any_of(sessions_.begin(), sessions_.end(),
                     [&](const auto& entry) {
                       return SameUser(entry.second.user_id, user_id);
                     });
}

size_t SessionStore::CountUser(std::string_view user_id) const {
  return static_cast<size_t>(
      std::count_if(sessions_.begin(), sessions_.end(), [&](const auto& entry) {
        return SameUser(entry.second.user_id, user_id);
      }));
}

bool SessionStore::IsIdle(const Session& session,
                          SteadyClock::TimePoint now) const {
  return now - session.last_seen > options_.idle_timeout;
}

void SessionStore::DropIdle(SteadyClock::TimePoint now) {
  for (auto it = sessions_.begin(); it != sessions_.end();) {
    if (IsIdle(it->second, now)) {
      evicted_users_.push_back(it->second.user_id);
      it = sessions_.erase(it);
    } else {
      ++it;
    }
  }
}

void SessionStore::TrimUser(std::string_view user_id, size_t keep) {
  std::vector<std::unordered_map<std::string, Session>::iterator> own;
  for (auto it = sessions_.begin(); it != sessions_.end(); ++it) {
    if (SameUser(it->second.user_id, user_id)) own.push_back(it);
  }
  if (own.size() <= keep) return;
  std::sort(own.begin(), own.end(), [](const auto& a, const auto& b) {
    return a->second.serial < b->second.serial;
  });
  // The user keeps a session (the new one), so his login entry stays.
  for (size_t i = 0; i < own.size() - keep; ++i) sessions_.erase(own[i]);
}

}  // namespace kirvs::web

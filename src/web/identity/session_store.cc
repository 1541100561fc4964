#include "web/identity/session_store.h"

#include <algorithm>
#include <utility>

#include "data/settings.h"
#include "data/web_sessions.h"
#include "platform/ascii.h"
#include "web/identity/csrf.h"

namespace kirvs::web {

namespace {

void AddUserOnce(std::vector<std::string>* users, const std::string& user) {
  for (const std::string& known : *users) {
    // The database compares user ids without regard to case, so "ann" and
    // "ANN" are taken for one user.
    if (EqualsIgnoringCase(known, user)) return;
  }
  users->push_back(user);
}

}  // namespace

SessionStore::SessionStore(const ServeOptions& options)
    : options_(options),
      db_path_(ReadSetting(options.settings_path, "DBPath")),
      activity_(db_path_, kKeptPages) {}

SessionStore::Place SessionStore::Reserve(std::string_view user_id) {
  const size_t max_sessions = std::max<size_t>(1, options_.max_sessions);
  const size_t per_user = std::max<size_t>(1, options_.max_sessions_per_user);
  SteadyClock::TimePoint now = options_.clock->Now();
  std::lock_guard lock(mu_);
  // A count that cannot be read is 0: the login then fails on the same
  // database, or goes ahead as if the store had room.
  int64_t stored = 0;
  (void)CountWebSessions(db_path_, &stored);
  if (static_cast<size_t>(stored) + reserved_ >= max_sessions) {
    DropIdle(now);
    (void)CountWebSessions(db_path_, &stored);
  }
  if (static_cast<size_t>(stored) + reserved_ < max_sessions) {
    ++reserved_;
    return Place::kFree;
  }
  // Only the user's own sessions ever make room for him.
  int64_t own = 0;  // as above
  (void)CountUserWebSessions(db_path_, user_id, &own);
  if (static_cast<size_t>(own) >= per_user) return Place::kUsersOwn;
  return Place::kNone;
}

void SessionStore::Release(Place place) {
  std::lock_guard lock(mu_);
  if (place == Place::kFree && reserved_ > 0) --reserved_;
}

SessionView SessionStore::Create(Place place, std::string user_id,
                                 std::string personnel_name) {
  SessionView view;
  view.id = NewSecret();
  view.user_id = std::move(user_id);
  view.personnel_name = std::move(personnel_name);
  view.token = NewSecret();
  const int64_t expires =
      ToMillis(options_.clock->Now()) + options_.idle_timeout.count();
  const size_t per_user = std::max<size_t>(1, options_.max_sessions_per_user);
  std::lock_guard lock(mu_);
  StoredSession stored;
  stored.user_id = view.user_id;
  stored.personnel_name = view.personnel_name;
  stored.token = view.token;
  stored.expires_ms = expires;
  // A session that could not be stored is not found afterwards: its user
  // sees the login page again.
  (void)AddWebSession(db_path_, view.id, stored, per_user - 1);
  if (place == Place::kFree && reserved_ > 0) --reserved_;
  return view;
}

std::optional<SessionView> SessionStore::Find(std::string_view id) {
  const int64_t now = ToMillis(options_.clock->Now());
  const int64_t idle = options_.idle_timeout.count();
  std::optional<StoredSession> stored;
  if (!FindWebSession(db_path_, id, &stored).ok() || !stored) {
    return std::nullopt;
  }
  const int64_t deadline = std::max(stored->expires_ms, activity_.Deadline(id));
  // An idle session stays until Sweep, which also removes its login entry.
  if (deadline < now) return std::nullopt;
  // A session in use moves its deadline at most this often, behind the
  // request, so that most requests only read it.
  const int64_t refresh = std::clamp<int64_t>(idle / 16, 1, 1000);
  if (now + idle - deadline >= refresh) activity_.Extend(id, now + idle);
  return SessionView{std::string(id),
                     std::move(stored->user_id),
                     std::move(stored->personnel_name),
                     std::move(stored->token),
                     std::move(stored->order_column),
                     stored->order_descending,
                     std::move(stored->lists_order_column),
                     stored->lists_order_descending};
}

uint64_t SessionStore::KeepPage(std::string_view id, std::string fragment) {
  return activity_.Keep(id, std::move(fragment), options_.clock->Now());
}

std::optional<KeptPage> SessionStore::Page(std::string_view id,
                                           uint64_t number) const {
  return activity_.Page(id, number);
}

void SessionStore::End(std::string_view id) {
  // A session that could not be removed has lost its login entry with the
  // engine's logout: every command of it is refused, and the sweep removes
  // it when it idles out.
  (void)EndWebSession(db_path_, id);
}

void SessionStore::EndUser(std::string_view user_id) {
  // As for End.
  (void)EndUserWebSessions(db_path_, user_id);
}

std::vector<std::string> SessionStore::Sweep() {
  SteadyClock::TimePoint now = options_.clock->Now();
  std::lock_guard lock(mu_);
  DropIdle(now);
  std::vector<std::string> candidates = std::move(evicted_users_);
  evicted_users_.clear();
  std::vector<std::string> gone;
  for (const std::string& user : candidates) {
    bool has = true;
    // A user whose sessions cannot be read keeps his login entry.
    if (HasWebSession(db_path_, user, &has).ok() && !has) {
      AddUserOnce(&gone, user);
    }
  }
  return gone;
}

size_t SessionStore::size() const {
  int64_t stored = 0;  // none when they cannot be counted
  (void)CountWebSessions(db_path_, &stored);
  return static_cast<size_t>(stored);
}

bool SessionStore::HasUser(std::string_view user_id) const {
  // A look that fails counts as a session: the sweep keeps the user's login
  // entry until the next look.
  bool has = true;
  (void)HasWebSession(db_path_, user_id, &has);
  return has;
}

void SessionStore::DropIdle(SteadyClock::TimePoint now) {
  // The deadlines of the sessions this node served must be written before
  // the sessions past theirs go.
  activity_.Flush();
  std::vector<std::string> users;
  if (SweepWebSessions(db_path_, ToMillis(now), &users).ok()) {
    for (std::string& user : users) evicted_users_.push_back(std::move(user));
  }
}

}  // namespace kirvs::web

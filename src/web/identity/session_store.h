// SessionStore: the signed-in sessions of the web front. The browser holds
// only the session id (an HttpOnly cookie); who is signed in, his CSRF token
// and the last pages he was shown live in the help desk's database
// (data/web_sessions.h), so that every node serving the desk knows every
// session, and a restart ends none.
//
// A session ends at logout, after an idle timeout, or when its user starts
// more sessions than one user may have (his oldest goes first). One user
// can never end another's active session: when the store is full of active
// sessions, a new one is refused. Sweep() reports the user ids that no
// longer have any session, so that their login entries can be removed as a
// logout would. The idle timeout, the limits and the clock are the server's
// options. A session whose row cannot be read counts as ended: the visitor
// sees the login page rather than a failure.
//
// Thread safety: every member may be called from any thread.

#ifndef KIRVS_SRC_WEB_IDENTITY_SESSION_STORE_H_
#define KIRVS_SRC_WEB_IDENTITY_SESSION_STORE_H_

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "web/identity/activity_keeper.h"
#include "web/options/serve_options.h"

namespace kirvs::web {

// What a request needs of its session: a copy, so that it can be used
// without holding the store's lock.
struct SessionView {
  std::string id;
  std::string user_id;
  std::string personnel_name;
  std::string token;  // the CSRF token of its forms
  // The orders of his lists, read with the session (routes/front_state.h
  // sets them): a column (empty: the list's own order), and which way; his
  // own list's, then the queues' and found requests'.
  std::string order_column;
  bool order_descending = false;
  std::string lists_order_column;
  bool lists_order_descending = false;
};

class SessionStore {
 public:
  // How many pages each session keeps: enough for a few browser tabs.
  static constexpr size_t kKeptPages = 4;

  // REQUIRES: `options` outlives the store; the tables of the web front's
  // state exist (data/web_state_tables.h).
  explicit SessionStore(const ServeOptions& options);

  // Where the session of a login about to run will go: nowhere (the store
  // is full of active sessions), a free place held for it, or the place of
  // the user's own oldest session, when he has as many as one user may.
  enum class Place { kNone, kFree, kUsersOwn };

  // Finds a place for the session that a login as `user_id` would start,
  // making room from sessions past their idle timeout. A place held must be
  // used by Create() or given back by Release().
  Place Reserve(std::string_view user_id);

  // Gives back a place that Reserve() held, for a login that failed.
  void Release(Place place);

  // Starts a session, with a new id and token, for a user who just logged
  // in, in the place Reserve() held for it. Ends the user's own oldest
  // session when he would have more than one user may.
  // REQUIRES: `place` came from Reserve() for this user, is not kNone and
  // was neither used nor released.
  SessionView Create(Place place, std::string user_id,
                     std::string personnel_name);

  // The session with this id, if it is live; its idle time starts again.
  std::optional<SessionView> Find(std::string_view id);

  // Keeps a page shown in the session and returns its number.
  uint64_t KeepPage(std::string_view id, std::string fragment);

  // The kept page with this number, else the latest kept page.
  std::optional<KeptPage> Page(std::string_view id, uint64_t number) const;

  // Ends the session with this id.
  void End(std::string_view id);
  // Ends every session of the user (ASCII case ignored).
  void EndUser(std::string_view user_id);

  // Whether the user (ASCII case ignored) has a session.
  bool HasUser(std::string_view user_id) const;

  // Removes the sessions idle too long; returns the user ids that have no
  // session left since the last sweep.
  std::vector<std::string> Sweep();

  // The sessions stored, live or not yet swept.
  size_t size() const;

  // Returns once the pages and deadlines of the requests served so far are
  // in the database, where the other nodes see them.
  void Flush() { activity_.Flush(); }

 private:
  // Ends the sessions past their idle timeout, for Sweep to report.
  // REQUIRES: mu_ held.
  void DropIdle(SteadyClock::TimePoint now);

  const ServeOptions& options_;
  const std::string db_path_;
  ActivityKeeper activity_;
  mutable std::mutex mu_;
  std::vector<std::string> evicted_users_;
  // Free places held by logins running on this node. Two nodes may each
  // fill the last free place at once: the total limit holds per node, the
  // database's total may pass it by the logins running at that moment.
  size_t reserved_ = 0;
};

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_IDENTITY_SESSION_STORE_H_

// The signed-in sessions of the web front in the help desk's database
// (tables web_sessions and web_pages, see web_state_tables.h), so that any
// node finds a session that another one started. A session is named by its
// id; only the id's hash is stored. User ids match without regard to ASCII
// case. Times are milliseconds of the server's clock.
//
// A session is live until its deadline (expires_ms) has passed; it stays
// stored until a sweep removes it, which any node may run at any time:
// a sweep is one DELETE of the sessions past their deadline, so two nodes
// sweeping at once remove each session once between them.
//
// Thread safety: every function may be called from any thread; each opens
// a connection of its own.

#ifndef KIRVS_SRC_DATA_WEB_SESSIONS_H_
#define KIRVS_SRC_DATA_WEB_SESSIONS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace kirvs {

struct StoredSession {
  std::string user_id;
  std::string personnel_name;
  std::string token;  // the CSRF token of its forms
  int64_t expires_ms = 0;
};

// A notice kept for a session's next page.
struct StoredNotice {
  std::string text;
  std::string link_href;
  std::string link_text;
};

// How many sessions there are (live or not yet swept); of one user.
Status CountWebSessions(const std::string& db_path, int64_t* count);
Status CountUserWebSessions(const std::string& db_path,
                            std::string_view user_id, int64_t* count);

// Stores a new session `id` and, in the same transaction, ends the user's
// oldest sessions beyond `keep_others`.
Status AddWebSession(const std::string& db_path, std::string_view id,
                     const StoredSession& session, size_t keep_others);

// The session `id` if it is live at `now_ms`. Its deadline moves to
// `new_expires_ms` when that is at least `refresh_ms` later than the stored
// one, so that a busy session writes seldom.
Status FindWebSession(const std::string& db_path, std::string_view id,
                      int64_t now_ms, int64_t new_expires_ms,
                      int64_t refresh_ms, std::optional<StoredSession>* found);

// Ends the session `id`; every session of `user_id`.
Status EndWebSession(const std::string& db_path, std::string_view id);
Status EndUserWebSessions(const std::string& db_path, std::string_view user_id);

// Whether `user_id` has a stored session.
Status HasWebSession(const std::string& db_path, std::string_view user_id,
                     bool* has);

// Removes the sessions whose deadline lies before `now_ms`, with their
// pages and form ids; `*users` receives the user ids of the sessions this
// sweep removed.
Status SweepWebSessions(const std::string& db_path, int64_t now_ms,
                        std::vector<std::string>* users);

// Keeps `fragment` as the next page of session `id`, forgetting all but
// its `keep` latest; `*number` is its number, 0 when there is no session.
Status KeepWebPage(const std::string& db_path, std::string_view id,
                   std::string_view fragment, size_t keep, uint64_t* number);

// The kept page `number` of session `id`, else its latest one.
Status ReadWebPage(const std::string& db_path, std::string_view id,
                   uint64_t number, uint64_t* found_number,
                   std::optional<std::string>* fragment);

// The notice for the session's next page: set, and taken once.
Status SetWebNotice(const std::string& db_path, std::string_view id,
                    const StoredNotice& notice);
Status TakeWebNotice(const std::string& db_path, std::string_view id,
                     std::optional<StoredNotice>* notice);

// The order of the session's list (an empty column: the engine's own).
Status SetWebOrder(const std::string& db_path, std::string_view id,
                   std::string_view column, bool descending);
Status ReadWebOrder(const std::string& db_path, std::string_view id,
                    std::string* column, bool* descending);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_WEB_SESSIONS_H_

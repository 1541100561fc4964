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
  // The orders of his lists, as SetWebOrder stored them (by ListKind).
  std::string order_column;
  bool order_descending = false;
  std::string lists_order_column;
  bool lists_order_descending = false;
};

// Which list an order is for: the person's own list (the engine's), or the
// lists the web front makes (the queues and found requests, which share
// their columns).
enum class ListKind { kMine, kRequests };

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

// The session `id` as stored, live or not.
Status FindWebSession(const std::string& db_path, std::string_view id,
                      std::optional<StoredSession>* found);

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

// A page shown in a session, to be kept.
struct PageToKeep {
  std::string session_id;
  uint64_t number = 0;
  std::string fragment;
};

// A later deadline of a session in use.
struct SessionDeadline {
  std::string session_id;
  int64_t expires_ms = 0;
};

// Keeps `pages` and moves the sessions' deadlines to `deadlines` (never
// earlier), in one transaction; of each session only the `keep` pages with
// the highest numbers stay.
Status KeepWebActivity(const std::string& db_path,
                       const std::vector<PageToKeep>& pages,
                       const std::vector<SessionDeadline>& deadlines,
                       size_t keep);

// The kept page `number` of session `id`, else its latest one.
Status ReadWebPage(const std::string& db_path, std::string_view id,
                   uint64_t number, uint64_t* found_number,
                   std::optional<std::string>* fragment);

// The notice for the session's next page: set, and taken once.
Status SetWebNotice(const std::string& db_path, std::string_view id,
                    const StoredNotice& notice);
Status TakeWebNotice(const std::string& db_path, std::string_view id,
                     std::optional<StoredNotice>* notice);

// The order of one of the session's lists (an empty column: the list's
// own); FindWebSession reads it back.
Status SetWebOrder(const std::string& db_path, std::string_view id,
                   ListKind list, std::string_view column, bool descending);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_WEB_SESSIONS_H_

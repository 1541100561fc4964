#include "data/web_sessions.h"

#include "data/bound_sql.h"
#include "data/web_state_tables.h"
#include "platform/ascii.h"

namespace kirvs {

namespace {

// User ids match without regard to ASCII case: rows keep the id upper-cased
// beside the id as typed.
std::string UserKey(std::string_view user_id) { return AsciiUpper(user_id); }

Status CountRows(const std::string& db_path, std::string_view sql,
                 std::initializer_list<SqlValue> values, int64_t* count) {
  return WithDatabase(db_path, [&](Database& db) {
    std::vector<SqlRow> rows;
    Status s = RunSql(db, sql, values, &rows);
    *count = s.ok() && !rows.empty() ? rows.front().Integer(0) : 0;
    return s;
  });
}

// The pages and form ids of sessions that are gone.
Status RemoveOrphans(Database& db) {
  Status s = RunSql(db,
                    "DELETE FROM web_pages WHERE session_hash NOT IN "
                    "(SELECT id_hash FROM web_sessions)",
                    {});
  if (s.ok()) {
    s = RunSql(db,
               "DELETE FROM web_forms WHERE session_hash NOT IN "
               "(SELECT id_hash FROM web_sessions)",
               {});
  }
  return s;
}

}  // namespace

Status CountWebSessions(const std::string& db_path, int64_t* count) {
  return CountRows(db_path, "SELECT COUNT(*) FROM web_sessions", {}, count);
}

Status CountUserWebSessions(const std::string& db_path,
                            std::string_view user_id, int64_t* count) {
  return CountRows(db_path,
                   "SELECT COUNT(*) FROM web_sessions WHERE user_key = ?",
                   {UserKey(user_id)}, count);
}

Status AddWebSession(const std::string& db_path, std::string_view id,
                     const StoredSession& session, size_t keep_others) {
  const std::string user_key = UserKey(session.user_id);
  const std::string hash = SessionIdHash(id);
  return InTransaction(db_path, [&](Database& db) {
    std::vector<SqlRow> own;
    Status s = RunSql(db,
                      "SELECT id_hash, serial FROM web_sessions WHERE "
                      "user_key = ? ORDER BY serial DESC",
                      {user_key}, &own);
    for (size_t i = keep_others; s.ok() && i < own.size(); ++i) {
      s = RunSql(db, "DELETE FROM web_sessions WHERE id_hash = ?",
                 {own[i].Text(0)});
    }
    const int64_t serial = own.empty() ? 1 : own.front().Integer(1) + 1;
    if (s.ok()) {
      s = RunSql(db,
                 "INSERT INTO web_sessions (id_hash, user_key, user_id, "
                 "personnel_name, token, serial, expires_ms, "
                 "order_descending, lists_order_descending) VALUES (?, ?, "
                 "?, ?, ?, ?, ?, 0, 0)",
                 {hash, user_key, session.user_id, session.personnel_name,
                  session.token, serial, session.expires_ms});
    }
    // The ended sessions' pages and forms go with them.
    if (s.ok() && own.size() > keep_others) s = RemoveOrphans(db);
    return s;
  });
}

Status FindWebSession(const std::string& db_path, std::string_view id,
                      std::optional<StoredSession>* found) {
  found->reset();
  if (id.empty()) return Status();
  const std::string hash = SessionIdHash(id);
  return WithDatabase(db_path, [&](Database& db) {
    std::vector<SqlRow> rows;
    Status s = RunSql(db,
                      "SELECT user_id, personnel_name, token, expires_ms, "
                      "order_column, order_descending, lists_order_column, "
                      "lists_order_descending FROM web_sessions WHERE "
                      "id_hash = ?",
                      {hash}, &rows);
    if (s.ok() && !rows.empty()) {
      const SqlRow& row = rows.front();
      *found = StoredSession{
          row.Text(0), row.Text(1),         row.Text(2), row.Integer(3),
          row.Text(4), row.Integer(5) != 0, row.Text(6), row.Integer(7) != 0};
    }
    return s;
  });
}

Status EndWebSession(const std::string& db_path, std::string_view id) {
  const std::string hash = SessionIdHash(id);
  return InTransaction(db_path, [&](Database& db) {
    Status s = RunSql(db, "DELETE FROM web_sessions WHERE id_hash = ?", {hash});
    if (s.ok()) {
      s = RunSql(db, "DELETE FROM web_pages WHERE session_hash = ?", {hash});
    }
    if (s.ok()) {
      s = RunSql(db, "DELETE FROM web_forms WHERE session_hash = ?", {hash});
    }
    return s;
  });
}

Status EndUserWebSessions(const std::string& db_path,
                          std::string_view user_id) {
  const std::string user_key = UserKey(user_id);
  return InTransaction(db_path, [&](Database& db) {
    Status s =
        RunSql(db, "DELETE FROM web_sessions WHERE user_key = ?", {user_key});
    return s.ok() ? RemoveOrphans(db) : s;
  });
}

Status HasWebSession(const std::string& db_path, std::string_view user_id,
                     bool* has) {
  int64_t count = 0;
  Status s = CountUserWebSessions(db_path, user_id, &count);
  *has = count > 0;
  return s;
}

Status SweepWebSessions(const std::string& db_path, int64_t now_ms,
                        std::vector<std::string>* users) {
  return InTransaction(db_path, [&](Database& db) {
    Status s = RemoveExpired(db, "web_sessions", now_ms, users);
    // The ended sessions' pages and forms go with them.
    if (s.ok() && !users->empty()) s = RemoveOrphans(db);
    return s;
  });
}

Status KeepWebActivity(const std::string& db_path,
                       const std::vector<PageToKeep>& pages,
                       const std::vector<SessionDeadline>& deadlines,
                       size_t keep) {
  if (pages.empty() && deadlines.empty()) return Status();
  return InTransaction(db_path, [&](Database& db) {
    Status s;
    for (const SessionDeadline& deadline : deadlines) {
      if (!s.ok()) break;
      s = RunSql(db,
                 "UPDATE web_sessions SET expires_ms = ? WHERE id_hash = ? "
                 "AND expires_ms < ?",
                 {deadline.expires_ms, SessionIdHash(deadline.session_id),
                  deadline.expires_ms});
    }
    for (const PageToKeep& page : pages) {
      if (!s.ok()) break;
      const std::string hash = SessionIdHash(page.session_id);
      s = RunSql(db,
                 "INSERT INTO web_pages (session_hash, page_number, fragment) "
                 "VALUES (?, ?, ?) ON CONFLICT (session_hash, page_number) DO "
                 "UPDATE SET fragment = excluded.fragment",
                 {hash, static_cast<int64_t>(page.number), page.fragment});
      if (s.ok()) {
        s = RunSql(db,
                   "DELETE FROM web_pages WHERE session_hash = ? AND "
                   "page_number < (SELECT MIN(page_number) FROM (SELECT "
                   "page_number FROM web_pages WHERE session_hash = ? ORDER "
                   "BY page_number DESC LIMIT ?) newest)",
                   {hash, hash, static_cast<int64_t>(keep)});
      }
    }
    return s;
  });
}

Status ReadWebPage(const std::string& db_path, std::string_view id,
                   uint64_t number, uint64_t* found_number,
                   std::optional<std::string>* fragment) {
  fragment->reset();
  const std::string hash = SessionIdHash(id);
  return WithDatabase(db_path, [&](Database& db) {
    std::vector<SqlRow> rows;
    Status s = RunSql(db,
                      "SELECT page_number, fragment FROM web_pages WHERE "
                      "session_hash = ? AND (page_number = ? OR page_number = "
                      "(SELECT MAX(page_number) FROM web_pages WHERE "
                      "session_hash = ?)) ORDER BY page_number = ? DESC",
                      {hash, static_cast<int64_t>(number), hash,
                       static_cast<int64_t>(number)},
                      &rows);
    if (s.ok() && !rows.empty()) {
      *found_number = static_cast<uint64_t>(rows.front().Integer(0));
      *fragment = rows.front().Text(1);
    }
    return s;
  });
}

Status SetWebNotice(const std::string& db_path, std::string_view id,
                    const StoredNotice& notice) {
  const std::string hash = SessionIdHash(id);
  return WithDatabase(db_path, [&](Database& db) {
    return RunSql(db,
                  "UPDATE web_sessions SET notice_text = ?, notice_href = ?, "
                  "notice_link = ? WHERE id_hash = ?",
                  {notice.text, notice.link_href, notice.link_text, hash});
  });
}

Status TakeWebNotice(const std::string& db_path, std::string_view id,
                     std::optional<StoredNotice>* notice) {
  notice->reset();
  const std::string hash = SessionIdHash(id);
  return WithDatabase(db_path, [&](Database& db) {
    std::vector<SqlRow> rows;
    // Most pages have no notice: only those that have one pay for a write.
    Status s = RunSql(db,
                      "SELECT notice_text, notice_href, notice_link FROM "
                      "web_sessions WHERE id_hash = ? AND notice_text IS NOT "
                      "NULL",
                      {hash}, &rows);
    if (!s.ok() || rows.empty()) return s;
    int changes = 0;
    // Of two pages that ask at once, one shows the notice.
    s = RunSql(db,
               "UPDATE web_sessions SET notice_text = NULL, notice_href = "
               "NULL, notice_link = NULL WHERE id_hash = ? AND notice_text "
               "IS NOT NULL",
               {hash}, nullptr, &changes);
    if (s.ok() && changes == 1) {
      *notice = StoredNotice{rows.front().Text(0), rows.front().Text(1),
                             rows.front().Text(2)};
    }
    return s;
  });
}

Status SetWebOrder(const std::string& db_path, std::string_view id,
                   ListKind list, std::string_view column, bool descending) {
  const std::string hash = SessionIdHash(id);
  return WithDatabase(db_path, [&](Database& db) {
    return RunSql(db,
                  list == ListKind::kMine
                      ? "UPDATE web_sessions SET order_column = ?, "
                        "order_descending = ? WHERE id_hash = ?"
                      : "UPDATE web_sessions SET lists_order_column = ?, "
                        "lists_order_descending = ? WHERE id_hash = ?",
                  {column, int64_t{descending ? 1 : 0}, hash});
  });
}

}  // namespace kirvs

#include "data/web_pending_logins.h"

#include "data/bound_sql.h"
#include "data/web_state_tables.h"
#include "platform/ascii.h"

namespace kirvs {

Status AddPendingLogin(const std::string& db_path, std::string_view id,
                       const StoredPendingLogin& login) {
  const std::string hash = SessionIdHash(id);
  return WithDatabase(db_path, [&](Database& db) {
    return RunSql(db,
                  "INSERT INTO web_pending_logins (id_hash, user_key, "
                  "user_id, personnel_name, expires_ms, wrong_codes) VALUES "
                  "(?, ?, ?, ?, ?, 0)",
                  {hash, AsciiUpper(login.user_id), login.user_id,
                   login.personnel_name, login.expires_ms});
  });
}

Status FindPendingLogin(const std::string& db_path, std::string_view id,
                        int64_t now_ms,
                        std::optional<StoredPendingLogin>* found) {
  found->reset();
  if (id.empty()) return Status();
  const std::string hash = SessionIdHash(id);
  return WithDatabase(db_path, [&](Database& db) {
    std::vector<SqlRow> rows;
    Status s = RunSql(db,
                      "SELECT user_id, personnel_name, expires_ms FROM "
                      "web_pending_logins WHERE id_hash = ? AND expires_ms "
                      ">= ?",
                      {hash, now_ms}, &rows);
    if (s.ok() && !rows.empty()) {
      *found = StoredPendingLogin{rows.front().Text(0), rows.front().Text(1),
                                  rows.front().Integer(2)};
    }
    return s;
  });
}

Status EndPendingLogin(const std::string& db_path, std::string_view id) {
  const std::string hash = SessionIdHash(id);
  return WithDatabase(db_path, [&](Database& db) {
    return RunSql(db, "DELETE FROM web_pending_logins WHERE id_hash = ?",
                  {hash});
  });
}

Status CountWrongCode(const std::string& db_path, std::string_view id,
                      int max_wrong, bool* ended) {
  *ended = true;
  const std::string hash = SessionIdHash(id);
  return InTransaction(db_path, [&](Database& db) {
    Status s = RunSql(db,
                      "UPDATE web_pending_logins SET wrong_codes = "
                      "wrong_codes + 1 WHERE id_hash = ?",
                      {hash});
    std::vector<SqlRow> rows;
    if (s.ok()) {
      s = RunSql(db,
                 "SELECT wrong_codes FROM web_pending_logins WHERE id_hash = ?",
                 {hash}, &rows);
    }
    if (!s.ok() || rows.empty()) return s;
    *ended = rows.front().Integer(0) >= max_wrong;
    if (*ended) {
      s = RunSql(db, "DELETE FROM web_pending_logins WHERE id_hash = ?",
                 {hash});
    }
    return s;
  });
}

Status HasPendingLogin(const std::string& db_path, std::string_view user_id,
                       int64_t now_ms, bool* has) {
  *has = false;
  return WithDatabase(db_path, [&](Database& db) {
    std::vector<SqlRow> rows;
    Status s = RunSql(db,
                      "SELECT COUNT(*) FROM web_pending_logins WHERE "
                      "user_key = ? AND expires_ms >= ?",
                      {AsciiUpper(user_id), now_ms}, &rows);
    *has = s.ok() && !rows.empty() && rows.front().Integer(0) > 0;
    return s;
  });
}

Status SweepPendingLogins(const std::string& db_path, int64_t now_ms,
                          std::vector<std::string>* users) {
  return InTransaction(db_path, [&](Database& db) {
    return RemoveExpired(db, "web_pending_logins", now_ms, users);
  });
}

}  // namespace kirvs

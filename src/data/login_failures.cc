#include "data/login_failures.h"

#include <algorithm>

#include "data/bound_sql.h"

namespace kirvs {

Status ChangeLoginFailures(
    const std::string& db_path, const std::vector<std::string>& keys,
    const std::function<bool(std::vector<LoginFailures>*)>& change) {
  std::vector<LoginFailures> counts(keys.size());
  std::vector<std::string> ordered = keys;
  std::sort(ordered.begin(), ordered.end());
  return InTransaction(db_path, [&](Database& db) {
    // Each key's row is written before it is read, so that the transaction
    // holds it locked from the start (on every store), and in one order on
    // every node, so that two transactions never wait for each other.
    Status s;
    for (const std::string& key : ordered) {
      if (!s.ok()) break;
      s = RunSql(db,
                 "INSERT INTO web_login_failures (throttle_key, failures, "
                 "latest_ms, running, begun_ms) VALUES (?, 0, 0, 0, 0) ON "
                 "CONFLICT (throttle_key) DO UPDATE SET running = "
                 "web_login_failures.running",
                 {key});
    }
    for (size_t i = 0; s.ok() && i < keys.size(); ++i) {
      std::vector<SqlRow> rows;
      s = RunSql(db,
                 "SELECT failures, latest_ms, running, begun_ms FROM "
                 "web_login_failures WHERE throttle_key = ?",
                 {keys[i]}, &rows);
      if (s.ok() && !rows.empty()) {
        const SqlRow& row = rows.front();
        counts[i] = LoginFailures{row.Integer(0), row.Integer(1),
                                  row.Integer(2), row.Integer(3)};
      }
    }
    if (!s.ok()) return s;
    const bool write = change(&counts);
    for (size_t i = 0; write && s.ok() && i < keys.size(); ++i) {
      const LoginFailures& c = counts[i];
      s = RunSql(db,
                 "UPDATE web_login_failures SET failures = ?, latest_ms = ?, "
                 "running = ?, begun_ms = ? WHERE throttle_key = ?",
                 {c.failures, c.latest_ms, c.running, c.begun_ms, keys[i]});
    }
    // Keys that count nothing are not kept (nor the rows just made to lock
    // them, when nothing was written).
    for (size_t i = 0; s.ok() && i < keys.size(); ++i) {
      s = RunSql(db,
                 "DELETE FROM web_login_failures WHERE throttle_key = ? AND "
                 "failures = 0 AND running = 0",
                 {keys[i]});
    }
    return s;
  });
}

Status ForgetLoginFailures(const std::string& db_path, int64_t before_ms) {
  return WithDatabase(db_path, [&](Database& db) {
    return RunSql(db,
                  "DELETE FROM web_login_failures WHERE latest_ms < ? AND "
                  "begun_ms < ?",
                  {before_ms, before_ms});
  });
}

}  // namespace kirvs

#include "data/web_state_tables.h"

#include <sodium.h>

#include <memory>
#include <vector>

#include "data/bound_sql.h"
#include "data/text_collation.h"
#include "platform/database.h"

namespace kirvs {

// Each session's pages, form ids and notice go with it: a session's rows
// are found by id_hash, a user's sessions by user_key (the user id in upper
// case, as user ids match without regard to case), the idle ones by
// expires_ms. serial orders the sessions of one user (the oldest goes
// first when he has too many); issued orders the form ids of one session.
// No column shares its name, in any case, with a column of the help desk's
// tables: on PostgreSQL a name takes the spelling the schema gives it
// (went_to, not location; secret_name, not name).
const char kWebStateTables[] = R"sql(
CREATE TABLE IF NOT EXISTS web_sessions (
  id_hash VARCHAR(64) NOT NULL PRIMARY KEY,
  user_key VARCHAR(255) NOT NULL,
  user_id VARCHAR(255) NOT NULL,
  personnel_name VARCHAR(255) NOT NULL,
  token VARCHAR(64) NOT NULL,
  serial BIGINT NOT NULL,
  expires_ms BIGINT NOT NULL,
  notice_text TEXT,
  notice_href TEXT,
  notice_link TEXT,
  order_column VARCHAR(255),
  order_descending INTEGER NOT NULL,
  lists_order_column VARCHAR(255),
  lists_order_descending INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS web_sessions_user
  ON web_sessions (user_key, serial);
CREATE INDEX IF NOT EXISTS web_sessions_expires ON web_sessions (expires_ms);
CREATE TABLE IF NOT EXISTS web_pages (
  session_hash VARCHAR(64) NOT NULL,
  page_number BIGINT NOT NULL,
  fragment TEXT NOT NULL,
  PRIMARY KEY (session_hash, page_number));
CREATE TABLE IF NOT EXISTS web_forms (
  session_hash VARCHAR(64) NOT NULL,
  form_id VARCHAR(64) NOT NULL,
  issued BIGINT NOT NULL,
  state INTEGER NOT NULL,
  claimed_ms BIGINT NOT NULL,
  went_to TEXT,
  notice_text TEXT,
  notice_href TEXT,
  notice_link TEXT,
  PRIMARY KEY (session_hash, form_id));
CREATE TABLE IF NOT EXISTS web_login_failures (
  throttle_key VARCHAR(255) NOT NULL PRIMARY KEY,
  failures INTEGER NOT NULL,
  latest_ms BIGINT NOT NULL,
  running INTEGER NOT NULL,
  begun_ms BIGINT NOT NULL);
CREATE TABLE IF NOT EXISTS web_pending_logins (
  id_hash VARCHAR(64) NOT NULL PRIMARY KEY,
  user_key VARCHAR(255) NOT NULL,
  user_id VARCHAR(255) NOT NULL,
  personnel_name VARCHAR(255) NOT NULL,
  expires_ms BIGINT NOT NULL,
  wrong_codes INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS web_pending_logins_user
  ON web_pending_logins (user_key);
CREATE TABLE IF NOT EXISTS web_secrets (
  secret_name VARCHAR(64) NOT NULL PRIMARY KEY,
  secret_value VARCHAR(128) NOT NULL);
)sql";

Status EnsureWebStateTables(const std::string& db_path) {
  std::shared_ptr<Database> db;
  Status s = Database::Open(db_path, &db);
  if (s.ok()) s = db->Begin();
  if (s.ok()) s = db->Execute(AddNocaseToTextColumns(kWebStateTables));
  if (s.ok()) s = db->Commit();
  if (!s.ok() && db) db->Rollback();
  return s;
}

Status SharedSecret(const std::string& db_path, std::string_view name,
                    std::string_view proposed, std::string* secret) {
  std::shared_ptr<Database> db;
  Status s = Database::Open(db_path, &db);
  // The first node to ask stores its proposal; the others read it.
  if (s.ok()) {
    s = RunSql(
        *db,
        "INSERT INTO web_secrets (secret_name, secret_value) VALUES (?, ?) "
        "ON CONFLICT (secret_name) DO NOTHING",
        {name, proposed});
  }
  std::vector<SqlRow> rows;
  if (s.ok()) {
    s = RunSql(*db,
               "SELECT secret_value FROM web_secrets WHERE secret_name = ?",
               {name}, &rows);
  }
  if (s.ok() && rows.empty())
    s = Status::Database("no secret " + std::string(name));
  if (s.ok()) *secret = rows.front().Text(0);
  return s;
}

Status RemoveExpired(Database& db, std::string_view table, int64_t now_ms,
                     std::vector<std::string>* users) {
  users->clear();
  const std::string where =
      std::string(" FROM ") + std::string(table) + " WHERE expires_ms < ?";
  std::vector<SqlRow> rows;
  Status s = RunSql(db, "SELECT DISTINCT user_id" + where, {now_ms}, &rows);
  if (s.ok() && !rows.empty()) s = RunSql(db, "DELETE" + where, {now_ms});
  for (const SqlRow& row : rows) users->push_back(row.Text(0));
  return s;
}

std::string SessionIdHash(std::string_view id) {
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(id.data()),
                     id.size());
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0f];
  }
  return hex;
}

}  // namespace kirvs

#include "data/upgrade.h"

#include <memory>

#include "data/schema.h"
#include "data/text_collation.h"
#include "platform/ascii.h"
#include "platform/database.h"
#include "platform/password_hash.h"
#include "platform/record_source.h"

namespace kirvs {

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Every row of `query` as text, read completely so that no statement is
// left open while the tables it reads are changed.
Status ReadRows(const std::shared_ptr<Database>& db, const std::string& query,
                Rows* rows) {
  rows->clear();
  std::unique_ptr<RecordSource> rs;
  Status s = RecordSource::Open(db, query, OpenMode::kRead, &rs);
  for (; s.ok() && !rs->eof(); s = rs->MoveNext()) {
    std::vector<std::string> row;
    for (int i = 0; i < rs->field_count(); ++i) {
      Variant value;
      s = rs->Get(i, &value);
      if (!s.ok()) return s;
      row.push_back(value.ToText());
    }
    rows->push_back(std::move(row));
  }
  // A failed read ends the walk early and sticks in status().
  return s.ok() ? rs->status() : s;
}

std::string Name(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted.push_back('"');
    quoted.push_back(c);
  }
  quoted.push_back('"');
  return quoted;
}

std::string Text(std::string_view text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') quoted.push_back('\'');
    quoted.push_back(c);
  }
  quoted.push_back('\'');
  return quoted;
}

// Tables (name, CREATE statement) of a database, without SQLite's own, in
// the order they were made.
Status ReadTables(const std::shared_ptr<Database>& db, Rows* tables) {
  return ReadRows(db,
                  "SELECT name, sql FROM sqlite_master WHERE type='table' "
                  "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid",
                  tables);
}

// Whether a row of `rows` holds `name` (any case) in column `column`.
bool HasName(const Rows& rows, size_t column, std::string_view name) {
  for (const auto& row : rows) {
    if (EqualsIgnoringCase(row[column], name)) return true;
  }
  return false;
}

Status AddTable(const std::shared_ptr<Database>& db,
                const std::shared_ptr<Database>& current,
                const std::vector<std::string>& table) {
  Rows indexes;
  Status s = db->Execute(table[1]);
  if (s.ok()) {
    s = ReadRows(current,
                 "SELECT sql FROM sqlite_master WHERE type='index' AND sql IS "
                 "NOT NULL AND tbl_name=" +
                     Text(table[0]),
                 &indexes);
  }
  for (const auto& index : indexes) {
    if (s.ok()) s = db->Execute(index[0]);
  }
  return s;
}

// The columns of `current`'s `table` that `db`'s lacks, added at its end.
Status AddColumns(const std::shared_ptr<Database>& db,
                  const std::shared_ptr<Database>& current,
                  const std::string& table, UpgradeReport* report) {
  // PRAGMA table_info: cid, name, type, notnull, dflt_value, pk.
  Rows have, want;
  Status s = ReadRows(db, "PRAGMA table_info(" + Name(table) + ")", &have);
  if (s.ok()) {
    s = ReadRows(current, "PRAGMA table_info(" + Name(table) + ")", &want);
  }
  for (const auto& column : want) {
    if (!s.ok()) break;
    if (HasName(have, 1, column[1])) continue;
    std::string sql = "ALTER TABLE " + Name(table) + " ADD COLUMN " +
                      Name(column[1]) + " " + column[2];
    if (!column[4].empty()) sql += " DEFAULT " + column[4];
    s = db->Execute(sql);
    report->added_columns.push_back(table + "." + column[1]);
  }
  return s;
}

Status AddMissing(const std::shared_ptr<Database>& db,
                  const std::shared_ptr<Database>& current,
                  UpgradeReport* report) {
  Rows have, want;
  Status s = ReadTables(db, &have);
  if (s.ok()) s = ReadTables(current, &want);
  for (const auto& table : want) {
    if (!s.ok()) break;
    if (HasName(have, 0, table[0])) {
      s = AddColumns(db, current, table[0], report);
    } else {
      s = AddTable(db, current, table);
      report->added_tables.push_back(table[0]);
    }
  }
  return s;
}

// The earlier layout kept one login entry per user id as typed; under the
// new one "ann" and "ANN" are the same user, whose latest entry stays.
Status MergeLoginEntries(const std::shared_ptr<Database>& db,
                         UpgradeReport* report) {
  Rows tables, before, after;
  Status s = ReadTables(db, &tables);
  if (!s.ok() || !HasName(tables, 0, "Logins")) return s;
  s = ReadRows(db, "SELECT count(*) FROM Logins", &before);
  if (s.ok()) {
    s = db->Execute(
        "DELETE FROM Logins WHERE EXISTS (SELECT 1 FROM Logins AS later "
        "WHERE later.UserName = Logins.UserName COLLATE NOCASE AND "
        "(ifnull(later.LoginTime, '') > ifnull(Logins.LoginTime, '') OR "
        "(ifnull(later.LoginTime, '') = ifnull(Logins.LoginTime, '') AND "
        "later.rowid > Logins.rowid)))");
  }
  if (s.ok()) s = ReadRows(db, "SELECT count(*) FROM Logins", &after);
  if (s.ok()) {
    report->merged_login_entries =
        std::stoi(before[0][0]) - std::stoi(after[0][0]);
  }
  return s;
}

// Rebuilds every table whose text columns still compare case by case.
Status RebuildTables(const std::shared_ptr<Database>& db,
                     UpgradeReport* report) {
  Rows tables, dependents;
  Status s = ReadTables(db, &tables);
  // Indexes and triggers go with the table they belong to, views would
  // point at a table that is gone: all are made again afterwards.
  if (s.ok()) {
    s = ReadRows(db,
                 "SELECT type, name, tbl_name, sql FROM sqlite_master WHERE "
                 "type IN ('index', 'trigger', 'view') AND sql IS NOT NULL "
                 "ORDER BY type = 'view', rowid",
                 &dependents);
  }
  for (const auto& object : dependents) {
    if (s.ok() && object[0] == "view") {
      s = db->Execute("DROP VIEW " + Name(object[1]));
    }
  }
  std::vector<std::string> rebuilt;
  for (const auto& table : tables) {
    if (!s.ok()) break;
    const std::string sql = AddNocaseToTextColumns(table[1]);
    if (sql == table[1]) continue;
    const std::string old_name = Name("kirvs_upgrade_" + table[0]);
    s = db->Execute("ALTER TABLE " + Name(table[0]) + " RENAME TO " + old_name);
    if (s.ok()) s = db->Execute(sql);
    if (s.ok()) {
      s = db->Execute("INSERT INTO " + Name(table[0]) + " SELECT * FROM " +
                      old_name + " ORDER BY rowid");
    }
    if (!s.ok()) {
      return Status::Database(
          "cannot make the text of " + table[0] +
          " compare without regard to case: " + s.message() +
          " (two rows differ only in case; change one "
          "and upgrade again)");
    }
    s = db->Execute("DROP TABLE " + old_name);
    rebuilt.push_back(table[0]);
  }
  for (const auto& object : dependents) {
    if (!s.ok()) break;
    bool gone = object[0] == "view";
    for (const std::string& name : rebuilt) {
      if (EqualsIgnoringCase(name, object[2])) gone = true;
    }
    if (!gone) continue;
    s = db->Execute(object[3]);
    if (!s.ok()) {
      s = Status::Database("cannot make " + object[0] + " " + object[1] +
                           " again: " + s.message());
    }
  }
  report->rebuilt_tables = rebuilt;
  return s;
}

Status HashPasswords(const std::shared_ptr<Database>& db,
                     UpgradeReport* report) {
  std::unique_ptr<RecordSource> users;
  Status s = RecordSource::Open(db, "SELECT * FROM System_Users",
                                OpenMode::kUpdate, &users);
  for (; s.ok() && !users->eof(); s = users->MoveNext()) {
    Variant stored;
    s = users->Get(1, &stored);
    const std::string text = stored.ToText();
    if (!s.ok() || text.empty() || LooksLikePasswordHash(text)) continue;
    std::string hash;
    s = HashPassword(text, &hash);
    if (s.ok()) s = users->Set(1, Variant(hash));
    if (s.ok()) s = users->Update();
    if (s.ok()) ++report->hashed_passwords;
  }
  return s;
}

// A LastLogin column just added starts from the login entries there are.
Status FillLastLogin(const std::shared_ptr<Database>& db,
                     const UpgradeReport& report) {
  for (const std::string& column : report.added_columns) {
    if (!EqualsIgnoringCase(column, "System_Users.LastLogin")) continue;
    return db->Execute(
        "UPDATE System_Users SET LastLogin = (SELECT max(LoginTime) FROM "
        "Logins WHERE UserName = System_Users.UserId COLLATE NOCASE)");
  }
  return Status();
}

Status Upgrade(const std::shared_ptr<Database>& db, UpgradeReport* report) {
  // The current layout, made in memory, is what the database is brought to.
  std::shared_ptr<Database> current;
  Status s = Database::Create(":memory:", &current);
  if (s.ok()) s = CreateSchema(current.get());
  if (s.ok()) s = db->Begin();
  if (s.ok()) s = AddMissing(db, current, report);
  if (s.ok()) s = MergeLoginEntries(db, report);
  if (s.ok()) s = RebuildTables(db, report);
  if (s.ok()) s = HashPasswords(db, report);
  if (s.ok()) s = FillLastLogin(db, *report);
  if (s.ok()) {
    s = db->Execute("PRAGMA user_version=" +
                    std::to_string(Database::kLayoutVersion));
  }
  if (s.ok()) s = db->Commit();
  if (!s.ok()) db->Rollback();
  return s;
}

}  // namespace

Status UpgradeDatabase(const std::string& db_path, UpgradeReport* report) {
  *report = UpgradeReport();
  std::shared_ptr<Database> db;
  Status s = Database::Open(db_path, &db);
  if (s.ok()) s = db->LayoutVersion(&report->from_version);
  if (!s.ok()) return s;
  if (report->from_version >= Database::kLayoutVersion) {
    report->already_current = true;
    return s;
  }
  // Renaming a table must not rewrite what other tables' triggers say about
  // it: the table of that name is back a moment later.
  s = db->Execute("PRAGMA legacy_alter_table=ON");
  if (s.ok()) s = Upgrade(db, report);
  // The outcome is the upgrade's: a connection left with the setting on
  // only renames tables the old way, and nothing after the upgrade renames.
  (void)db->Execute("PRAGMA legacy_alter_table=OFF");
  if (!s.ok()) {
    const int from = report->from_version;
    *report = UpgradeReport();
    report->from_version = from;
  }
  return s;
}

}  // namespace kirvs

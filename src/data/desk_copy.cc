#include "data/desk_copy.h"

#include <memory>
#include <string_view>

#include "data/request_finder.h"
#include "data/schema.h"
#include "platform/ascii.h"
#include "platform/statement.h"

namespace kirvs {

namespace {

// The names of a store's tables and views, without the store's own (and
// without the shadow tables that SQLite keeps for a find index).
constexpr char kSqliteTables[] =
    "SELECT name FROM pragma_table_list WHERE schema = 'main' AND type <> "
    "'shadow' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name";
constexpr char kPostgresTables[] =
    "SELECT table_name FROM information_schema.tables WHERE table_schema = "
    "current_schema() ORDER BY table_name";

// Moves each identity column of the help desk's tables (those with the
// hidden rowid) past the largest number its table holds.
constexpr char kMoveIdentities[] =
    "DO $$ DECLARE r record; BEGIN FOR r IN SELECT c.relname, a.attname "
    "FROM pg_class c JOIN pg_attribute a ON a.attrelid = c.oid "
    "WHERE c.relnamespace = current_schema()::regnamespace "
    "AND c.relkind = 'r' AND a.attidentity IN ('a', 'd') AND EXISTS "
    "(SELECT 1 FROM pg_attribute w WHERE w.attrelid = c.oid "
    "AND w.attname = 'rowid') LOOP EXECUTE format('SELECT setval("
    "pg_get_serial_sequence(%L, %L), COALESCE(MAX(%I), 0) + 1, false) "
    "FROM %I', quote_ident(r.relname), r.attname, r.attname, r.relname); "
    "END LOOP; END $$";

// The find index of SQLite, made anew rather than copied.
constexpr std::string_view kWordsTable = "Request_Words";

std::string Bracketed(std::string_view name) {
  return "[" + std::string(name) + "]";
}

bool HasName(const std::vector<std::string>& names, std::string_view name) {
  for (const std::string& known : names) {
    if (EqualsIgnoringCase(known, name)) return true;
  }
  return false;
}

// The first column of every row of `sql`, as text.
Status ReadNames(Database& db, const char* sql,
                 std::vector<std::string>* names) {
  std::unique_ptr<Statement> query;
  Status s = Statement::Prepare(db, sql, &query);
  bool row = false;
  while (s.ok() && (s = query->Step(&row)).ok() && row) {
    Cell cell;
    std::string bytes;
    query->ReadCell(0, &cell, &bytes);
    names->push_back(bytes.substr(cell.offset, cell.size));
  }
  return s;
}

Status ReadTables(Database& db, std::vector<std::string>* names) {
  return ReadNames(
      db, db.store() == Store::kPostgres ? kPostgresTables : kSqliteTables,
      names);
}

// The tables of the help desk's schema, in the order it makes them: the
// names after each CREATE TABLE of the script.
std::vector<std::string> SchemaTables(const std::string& script) {
  std::vector<std::string> tables;
  constexpr std::string_view kCreate = "CREATE TABLE ";
  constexpr std::string_view kIfNew = "IF NOT EXISTS ";
  for (size_t at = script.find(kCreate); at != std::string::npos;
       at = script.find(kCreate, at)) {
    at += kCreate.size();
    if (std::string_view(script).substr(at).starts_with(kIfNew)) {
      at += kIfNew.size();
    }
    if (script[at] == '[') {
      const size_t end = script.find(']', at);
      tables.push_back(script.substr(at + 1, end - at - 1));
    } else {
      tables.push_back(script.substr(at, script.find_first_of(" (", at) - at));
    }
  }
  return tables;
}

// Binds the value of `cell` to slot `slot` of `insert`, for a column of
// type code `type_code`. Booleans are written as the target stores them.
Status BindCell(const Cell& cell, std::string_view bytes, int type_code,
                Statement* insert, int slot) {
  switch (cell.kind) {
    case Cell::Kind::kNull:
      insert->BindNull(slot);
      break;
    case Cell::Kind::kInteger:
      insert->BindInteger(
          slot, type_code == kTypeBoolean ? cell.integer != 0 : cell.integer);
      break;
    case Cell::Kind::kReal:
      insert->BindReal(slot, cell.real);
      break;
    case Cell::Kind::kText:
      insert->BindText(slot, bytes.substr(cell.offset, cell.size));
      break;
    case Cell::Kind::kBlob:
      return Status::NotSupported("binary data, which the copy does not carry");
  }
  return Status();
}

// Copies every row of `table` from `source` to `target`, in the source's
// order, column by column as the target's table names them.
Status CopyTable(Database& source, Database& target, const std::string& table,
                 int64_t* count) {
  std::unique_ptr<Statement> shape, read, insert;
  Status s = Statement::Prepare(
      target, "SELECT * FROM " + Bracketed(table) + " WHERE 1 = 0", &shape);
  if (!s.ok()) return s;
  std::string columns, slots;
  for (int i = 0; i < shape->column_count(); ++i) {
    if (i > 0) {
      columns += ", ";
      slots += ", ";
    }
    columns += Bracketed(shape->column_name(i));
    slots += "?";
  }
  s = Statement::Prepare(
      source,
      "SELECT " + columns + " FROM " + Bracketed(table) + " ORDER BY rowid",
      &read);
  if (!s.ok()) return Status::Database("the source: " + s.message());
  s = Statement::Prepare(target,
                         "INSERT INTO " + Bracketed(table) + " (" + columns +
                             ") VALUES (" + slots + ")",
                         &insert);
  bool row = false;
  std::string bytes;
  while (s.ok() && (s = read->Step(&row)).ok() && row) {
    for (int i = 0; s.ok() && i < shape->column_count(); ++i) {
      Cell cell;
      bytes.clear();
      read->ReadCell(i, &cell, &bytes);
      s = BindCell(cell, bytes, shape->column_type(i).type_code, insert.get(),
                   i + 1);
    }
    if (s.ok()) s = insert->Step(&row);
    insert->Reset();
    if (!s.ok()) {
      return Status::Database("row " + std::to_string(*count + 1) + ": " +
                              s.message());
    }
    ++*count;
  }
  return s;
}

// Drops the help desk's tables that the target already holds.
Status DropHelpDesk(Database& target, const std::vector<std::string>& present) {
  if (target.store() == Store::kPostgres) return DropPostgresHelpDesk(&target);
  std::string drops;
  for (const std::string& table : present) {
    drops += "DROP TABLE " + Bracketed(table) + ";\n";
  }
  return target.Execute(drops);
}

// The copy inside the target's transaction.
Status CopyInto(Database& source, Database& target, bool replace,
                const std::vector<std::string>& tables,
                DeskCopyReport* report) {
  std::vector<std::string> existing, present;
  Status s = ReadTables(target, &existing);
  if (!s.ok()) return s;
  for (const std::string& table : existing) {
    if (HasName(tables, table) || EqualsIgnoringCase(table, kWordsTable)) {
      present.push_back(table);
    }
  }
  if (!present.empty()) {
    if (!replace) {
      std::string names;
      for (const std::string& table : present) names += " " + table;
      return Status::InvalidArgument(
          "the target already holds help-desk tables:" + names +
          "; --force replaces them");
    }
    s = DropHelpDesk(target, present);
    if (!s.ok()) return s;
  }
  std::string script;
  s = SchemaScript(target.store(), &script);
  if (s.ok()) s = target.ExecuteNative(script);
  for (const std::string& table : tables) {
    if (!s.ok()) break;
    int64_t count = 0;
    s = CopyTable(source, target, table, &count);
    if (!s.ok()) return Status::Database(table + ", " + s.message());
    report->tables.emplace_back(table, count);
  }
  if (s.ok() && target.store() == Store::kPostgres) {
    s = target.ExecuteNative(kMoveIdentities);
  }
  if (s.ok()) s = AddRequestWords(&target);
  return s;
}

}  // namespace

Status CopyDesk(Database* source, Database* target, bool replace,
                DeskCopyReport* report) {
  int version = 0;
  Status s = source->LayoutVersion(&version);
  if (s.ok() && version != Database::kLayoutVersion) {
    return Status::NotSupported(
        "the source has layout version " + std::to_string(version) +
        "; kirvs upgrade brings it to " +
        std::to_string(Database::kLayoutVersion) + " first");
  }
  std::string script;
  if (s.ok()) s = SchemaScript(Store::kSqlite, &script);
  const std::vector<std::string> tables = SchemaTables(script);
  // One snapshot of the source for the whole copy, without holding up its
  // writers.
  if (s.ok()) {
    s = source->ExecuteNative(
        source->store() == Store::kPostgres
            ? "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"
            : "BEGIN");
  }
  std::vector<std::string> source_tables;
  if (s.ok()) s = ReadTables(*source, &source_tables);
  for (const std::string& table : source_tables) {
    if (!HasName(tables, table)) report->skipped.push_back(table);
  }
  if (s.ok()) s = target->Begin();
  if (s.ok()) s = CopyInto(*source, *target, replace, tables, report);
  if (s.ok()) s = target->Commit();
  if (!s.ok()) {
    target->Rollback();
    report->tables.clear();
  }
  source->Rollback();
  return s;
}

}  // namespace kirvs

// The statement of statement.h on SQLite.

#include <sqlite3.h>

#include "platform/sqlite_database.h"
#include "platform/statement.h"

namespace kirvs {

namespace {

std::string OrEmpty(const char* text) { return text ? text : ""; }

class SqliteStatement final : public Statement {
 public:
  SqliteStatement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
  ~SqliteStatement() override { sqlite3_finalize(stmt_); }

  Status Step(bool* row) override;
  void Reset() override;
  int column_count() const override { return sqlite3_column_count(stmt_); }
  std::string column_name(int column) const override;
  ColumnType column_type(int column) const override;
  std::string table_name(int column) const override;
  std::string origin_name(int column) const override;
  void ReadCell(int column, Cell* cell, std::string* bytes) const override;
  int64_t ReadInteger(int column) const override;
  void BindNull(int slot) override;
  void BindInteger(int slot, int64_t value) override;
  void BindReal(int slot, double value) override;
  void BindText(int slot, std::string_view text) override;
  int64_t LastInsertRowId() const override;
  int Changes() const override;

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_;
};

Status SqliteStatement::Step(bool* row) {
  int rc = sqlite3_step(stmt_);
  *row = rc == SQLITE_ROW;
  if (rc == SQLITE_ROW || rc == SQLITE_DONE) return Status();
  return Status::Database(sqlite3_errmsg(db_));
}

void SqliteStatement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

std::string SqliteStatement::column_name(int column) const {
  return OrEmpty(sqlite3_column_name(stmt_, column));
}

ColumnType SqliteStatement::column_type(int column) const {
  const char* declared = sqlite3_column_decltype(stmt_, column);
  return ColumnTypeOf(declared ? declared : "");
}

std::string SqliteStatement::table_name(int column) const {
  return OrEmpty(sqlite3_column_table_name(stmt_, column));
}

std::string SqliteStatement::origin_name(int column) const {
  return OrEmpty(sqlite3_column_origin_name(stmt_, column));
}

void SqliteStatement::ReadCell(int column, Cell* cell,
                               std::string* bytes) const {
  sqlite3_stmt* stmt = stmt_;
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
      cell->kind = Cell::Kind::kNull;
      return;
    case SQLITE_INTEGER:
      cell->kind = Cell::Kind::kInteger;
      cell->integer = sqlite3_column_int64(stmt, column);
      return;
    case SQLITE_FLOAT:
      cell->kind = Cell::Kind::kReal;
      cell->real = sqlite3_column_double(stmt, column);
      return;
    case SQLITE_BLOB:
      cell->kind = Cell::Kind::kBlob;
      cell->offset = static_cast<uint32_t>(bytes->size());
      if (const void* blob = sqlite3_column_blob(stmt, column)) {
        bytes->append(static_cast<const char*>(blob),
                      sqlite3_column_bytes(stmt, column));
      }
      break;
    default:
      cell->kind = Cell::Kind::kText;
      cell->offset = static_cast<uint32_t>(bytes->size());
      bytes->append(
          reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
          sqlite3_column_bytes(stmt, column));
  }
  cell->size = static_cast<uint32_t>(bytes->size() - cell->offset);
}

int64_t SqliteStatement::ReadInteger(int column) const {
  return sqlite3_column_int64(stmt_, column);
}

void SqliteStatement::BindNull(int slot) { sqlite3_bind_null(stmt_, slot); }

void SqliteStatement::BindInteger(int slot, int64_t value) {
  sqlite3_bind_int64(stmt_, slot, value);
}

void SqliteStatement::BindReal(int slot, double value) {
  sqlite3_bind_double(stmt_, slot, value);
}

void SqliteStatement::BindText(int slot, std::string_view text) {
  sqlite3_bind_text(stmt_, slot, text.data(), static_cast<int>(text.size()),
                    SQLITE_TRANSIENT);
}

int64_t SqliteStatement::LastInsertRowId() const {
  return sqlite3_last_insert_rowid(db_);
}

int SqliteStatement::Changes() const { return sqlite3_changes(db_); }

}  // namespace

Status PrepareSqliteStatement(sqlite3* db, std::string_view sql,
                              std::unique_ptr<Statement>* out) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt,
                         nullptr) != SQLITE_OK) {
    return Status::Database(sqlite3_errmsg(db));
  }
  if (stmt == nullptr) return Status::InvalidArgument("the query is empty");
  *out = std::make_unique<SqliteStatement>(db, stmt);
  return Status();
}

}  // namespace kirvs

// The statement of statement.h on SQLite.

#include <sqlite3.h>

#include "platform/statement.h"

namespace kirvs {

struct Statement::Handle {
  sqlite3* db = nullptr;
  sqlite3_stmt* stmt = nullptr;
  ~Handle() { sqlite3_finalize(stmt); }
};

namespace {

std::string OrEmpty(const char* text) { return text ? text : ""; }

}  // namespace

Statement::Statement(std::unique_ptr<Handle> handle)
    : handle_(std::move(handle)) {}

Statement::~Statement() = default;

Status Statement::Prepare(Database& db, std::string_view sql,
                          std::unique_ptr<Statement>* out) {
  auto handle = std::make_unique<Handle>();
  handle->db = db.handle();
  if (sqlite3_prepare_v2(handle->db, sql.data(), static_cast<int>(sql.size()),
                         &handle->stmt, nullptr) != SQLITE_OK) {
    return Status::Database(sqlite3_errmsg(handle->db));
  }
  if (handle->stmt == nullptr) {
    return Status::InvalidArgument("the query is empty");
  }
  out->reset(new Statement(std::move(handle)));
  return Status();
}

Status Statement::Step(bool* row) {
  int rc = sqlite3_step(handle_->stmt);
  *row = rc == SQLITE_ROW;
  if (rc == SQLITE_ROW || rc == SQLITE_DONE) return Status();
  return Status::Database(sqlite3_errmsg(handle_->db));
}

int Statement::column_count() const {
  return sqlite3_column_count(handle_->stmt);
}

std::string Statement::column_name(int column) const {
  return OrEmpty(sqlite3_column_name(handle_->stmt, column));
}

std::string Statement::declared_type(int column) const {
  return OrEmpty(sqlite3_column_decltype(handle_->stmt, column));
}

std::string Statement::table_name(int column) const {
  return OrEmpty(sqlite3_column_table_name(handle_->stmt, column));
}

std::string Statement::origin_name(int column) const {
  return OrEmpty(sqlite3_column_origin_name(handle_->stmt, column));
}

void Statement::ReadCell(int column, Cell* cell, std::string* bytes) const {
  sqlite3_stmt* stmt = handle_->stmt;
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

int64_t Statement::ReadInteger(int column) const {
  return sqlite3_column_int64(handle_->stmt, column);
}

void Statement::BindNull(int slot) { sqlite3_bind_null(handle_->stmt, slot); }

void Statement::BindInteger(int slot, int64_t value) {
  sqlite3_bind_int64(handle_->stmt, slot, value);
}

void Statement::BindReal(int slot, double value) {
  sqlite3_bind_double(handle_->stmt, slot, value);
}

void Statement::BindText(int slot, std::string_view text) {
  sqlite3_bind_text(handle_->stmt, slot, text.data(),
                    static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

int64_t Statement::LastInsertRowId() const {
  return sqlite3_last_insert_rowid(handle_->db);
}

int Statement::Changes() const { return sqlite3_changes(handle_->db); }

}  // namespace kirvs

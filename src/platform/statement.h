// Statement: one prepared statement of a store, the part of the store that
// the record source sees besides the connection (database.h): prepare and
// step a statement, read the names, declared types and values of its
// columns, bind values and learn what a write did. Nothing in this header
// names the store; sqlite_statement.cc implements it for SQLite. Query
// shaping, conversion by type code and the cursor live above it, written
// once (record_source.h).
//
// Thread safety: one thread at a time, with its Database.

#ifndef KIRVS_SRC_PLATFORM_STATEMENT_H_
#define KIRVS_SRC_PLATFORM_STATEMENT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/database.h"
#include "platform/status.h"

namespace kirvs {

// One stored value as the store gives it, before conversion by type code.
// Text and blob bytes live in a buffer of the caller's (see ReadCell).
// A cell is small (24 bytes): a page of rows is a few kilobytes.
struct Cell {
  enum class Kind : uint8_t { kNull, kInteger, kReal, kText, kBlob };
  uint32_t offset = 0;  // kText, kBlob: where the bytes start in the buffer
  uint32_t size = 0;    // kText, kBlob: the number of bytes
  union {
    int64_t integer = 0;  // kInteger
    double real;          // kReal
  };
  Kind kind = Kind::kNull;
};

class Statement {
 public:
  // Prepares `sql` on `db`. An empty query fails.
  static Status Prepare(Database& db, std::string_view sql,
                        std::unique_ptr<Statement>* out);

  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Moves to the next row: *row is true on a row, false when the rows ran
  // out. Fails with the store's message.
  Status Step(bool* row);

  int column_count() const;
  std::string column_name(int column) const;
  // The declared type of a column; empty when it has none (an expression).
  std::string declared_type(int column) const;
  // The table and the table's column that a column reads; empty when it is
  // computed.
  std::string table_name(int column) const;
  std::string origin_name(int column) const;

  // The value of a column of the current row; text and blob bytes are
  // appended to `*bytes`, where the cell's offset points.
  void ReadCell(int column, Cell* cell, std::string* bytes) const;
  int64_t ReadInteger(int column) const;

  // Binds slot `slot` (1 = first) for the next Step.
  void BindNull(int slot);
  void BindInteger(int slot, int64_t value);
  void BindReal(int slot, double value);
  void BindText(int slot, std::string_view text);

  // The rowid of the row that the last insert on the connection added.
  int64_t LastInsertRowId() const;
  // The number of rows that the last write on the connection changed.
  int Changes() const;

 private:
  struct Handle;
  explicit Statement(std::unique_ptr<Handle> handle);
  std::unique_ptr<Handle> handle_;
};

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_STATEMENT_H_

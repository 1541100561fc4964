// Statement: one prepared statement of a store, the part of the store that
// the record source sees besides the connection (database.h): prepare and
// step a statement, read the names, types and values of its columns, bind
// values and learn what a write did. Nothing in this header names the
// store; sqlite_statement.cc and postgres_statement.cc implement it. Query
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

#include "platform/column_types.h"
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
  // Prepares `sql`, a query text in the engine's dialect (the store
  // translates it to its own), on `db`. An empty query fails.
  static Status Prepare(Database& db, std::string_view sql,
                        std::unique_ptr<Statement>* out) {
    return db.Prepare(sql, out);
  }

  virtual ~Statement() = default;

  // Moves to the next row: *row is true on a row, false when the rows ran
  // out. Fails with the store's message.
  virtual Status Step(bool* row) = 0;
  // Readies the statement to run again, its bindings cleared.
  virtual void Reset() = 0;

  virtual int column_count() const = 0;
  virtual std::string column_name(int column) const = 0;
  // The type code and defined size of a column (column_types.h).
  virtual ColumnType column_type(int column) const = 0;
  // The table and the table's column that a column reads; empty when it is
  // computed.
  virtual std::string table_name(int column) const = 0;
  virtual std::string origin_name(int column) const = 0;

  // The value of a column of the current row; text and blob bytes are
  // appended to `*bytes`, where the cell's offset points.
  virtual void ReadCell(int column, Cell* cell, std::string* bytes) const = 0;
  virtual int64_t ReadInteger(int column) const = 0;

  // Binds slot `slot` (1 = first) for the next Step.
  virtual void BindNull(int slot) = 0;
  virtual void BindInteger(int slot, int64_t value) = 0;
  virtual void BindReal(int slot, double value) = 0;
  virtual void BindText(int slot, std::string_view text) = 0;

  // The rowid of the row that the last insert of this statement added.
  virtual int64_t LastInsertRowId() const = 0;
  // The number of rows that the last write of this statement changed.
  virtual int Changes() const = 0;

 protected:
  Statement() = default;
};

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_STATEMENT_H_

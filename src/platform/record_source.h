// RecordSource: the rows of one query on the help-desk database, with a
// current row that handlers read, change, add and delete.
//
// Three modes:
//   kRead    rows are fetched as the caller walks them; writes to a row change
//            only the copy in memory (pages fill in defaults this way);
//            Update keeps the change in memory and stores nothing.
//   kUpdate  the rows of a single-table query, added, changed or deleted in
//            the database by Update and Delete. Opening reads no row: a
//            record source opened only to add a row costs the same whatever
//            the table holds. The rows are read, all at once, on the first
//            look at them (eof, a move, a value, RecordCount); a row that
//            AddNew and Update stored before that is the current row without
//            reading them, and follows them once they are read.
//   kLookup  as kRead, with all rows read at once so that Filter can narrow
//            them.
//
// Type codes and defined sizes come from each column's declared type (see
// column_types.h). Values read: a column with a date type code reads as a
// date Variant (an unparsable stored date as its text); a Boolean column as a
// Boolean (any non-zero is true); integers as 32-bit integers when they fit,
// else doubles; reals as doubles; text as text; NULL as null.
// Values written are converted to the column's type (Set fails, changing
// nothing, when they cannot be): dates are stored as text
// "YYYY-MM-DD HH:MM:SS" ("YYYY-MM-DD" in a DATE column, "HH:MM:SS" in a TIME
// column), Booleans as 1 / 0, numbers as numbers, text as text; empty and
// null store NULL. (The conversions are in cell_values.h, the SQL that the
// record source makes in query_shaping.h, the store under it in
// statement.h and database.h.)
//
// Rows read are kept as the store gave them; a value becomes a Variant only
// when Get asks for it, and GetText gives its text form without one.
//
// Every operation that can fail returns a Status with SQLite's message or a
// short message of our own ("no current row", "unknown column: X").
//
// A walk keeps its error: the first failure to read a row (after Open, which
// fails itself when the first row cannot be read) sticks. From then on eof()
// is true, MoveFirst and MoveNext return it, and status() reports it, so that
// a loop `for (MoveFirst(); !eof(); MoveNext())` ends and the caller checks
// status() once after it to tell the last row from a failed read.
//
// Thread safety: one thread at a time.

#ifndef KIRVS_SRC_PLATFORM_RECORD_SOURCE_H_
#define KIRVS_SRC_PLATFORM_RECORD_SOURCE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kirvs/variant.h"
#include "platform/column_types.h"
#include "platform/database.h"
#include "platform/statement.h"
#include "platform/status.h"

namespace kirvs {

enum class OpenMode { kRead, kUpdate, kLookup };

class RecordSource {
 public:
  // Opens `query` on the database file at `db_path`, on a connection of its
  // own that lives as long as the record source.
  static Status Open(const std::string& db_path, std::string_view query,
                     OpenMode mode, std::unique_ptr<RecordSource>* out);
  // Opens `query` on a connection that the caller shares between record
  // sources, for work that must be one transaction.
  static Status Open(std::shared_ptr<Database> db, std::string_view query,
                     OpenMode mode, std::unique_ptr<RecordSource>* out);

  ~RecordSource();
  RecordSource(const RecordSource&) = delete;
  RecordSource& operator=(const RecordSource&) = delete;

  // End-of-file: no current row because the rows ran out (or there were
  // none) or because reading them failed (see status()). Beginning-of-file:
  // true only when the query has no rows.
  bool eof();
  bool bof();
  Status MoveFirst();
  Status MoveNext();
  // The number of rows that the query returned (reads them all); those read
  // before a failed read when status() is not ok.
  int32_t RecordCount();
  // OK, or the first error met while reading rows; it never clears.
  const Status& status() const { return status_; }

  int field_count() const { return static_cast<int>(fields_.size()); }
  // REQUIRES: 0 <= index < field_count().
  const FieldInfo& field(int index) const { return fields_[index]; }
  // The position of the column named `name` (ASCII case ignored), or -1.
  int FieldIndex(std::string_view name) const;

  // The value of a column of the current row.
  Status Get(int index, Variant* value);
  Status Get(std::string_view name, Variant* value);
  // The text form of a column of the current row (what Get's Variant gives
  // with ToText), without making a Variant: for pages that only show
  // values. `*text` points into the row or into `*buffer`; it stays valid
  // until the next call on this record source or on `*buffer`.
  Status GetText(int index, std::string* buffer, std::string_view* text);
  // Writes a column of the current row (in memory until Update), converted to
  // the column's type; on failure nothing changes.
  Status Set(int index, const Variant& value);
  Status Set(std::string_view name, const Variant& value);

  // Starts a new row, which becomes the current row; its columns are null
  // until set. Close discards a new row that Update has not stored.
  Status AddNew();
  // Stores the new or changed current row (kUpdate); in kRead and kLookup it
  // keeps the change in memory only.
  Status Update();
  // Deletes the current row from the database (kUpdate only).
  Status Delete();
  // Keeps only the rows whose column `name` reads, as text, exactly `key`;
  // the first of them becomes the current row.
  Status Filter(std::string_view name, std::string_view key);

  // Releases the statement (and a connection of its own). A new row never
  // stored is discarded. Further calls fail with "record source is closed".
  void Close();

  const std::shared_ptr<Database>& database() const { return db_; }

 private:
  struct Row {
    size_t first_cell = 0;  // index into cells_ of the row's first column
    // Empty until the row is written to (Set, AddNew); then the value of
    // every column, which the cells no longer give.
    std::vector<Variant> values;
    std::vector<bool> changed;  // per column, while `values` is in use
    int64_t rowid = 0;          // the base-table row of a kUpdate source
    bool deleted = false;
  };
  RecordSource(std::shared_ptr<Database> db, OpenMode mode);
  Status Prepare(std::string_view query);
  // Reads rows until row `index` is in memory or the rows run out.
  Status FetchUntil(size_t index);
  Status FetchAll();
  Status CurrentRow(Row** row);
  // Gives the row its `values`, from its cells, so that it can be written.
  void MakeWritable(Row* row);
  // The text form of a column of `row` (see GetText).
  std::string_view RowText(const Row& row, int index,
                           std::string* buffer) const;
  Status StoreNewRow(Row* row);
  Status StoreChangedRow(Row* row);

  std::shared_ptr<Database> db_;
  OpenMode mode_;
  std::unique_ptr<Statement> statement_;  // null once all rows are read
  std::vector<FieldInfo> fields_;
  std::string table_;  // the base table of a kUpdate source
  std::vector<std::string> origin_columns_;  // base-table column per field
  bool rowid_selected_ = false;  // the statement's last column is the rowid
  std::vector<Row> rows_;
  // The columns of the rows read, field_count() cells per row in the order
  // read; their text and blob bytes, back to back. Both only grow, so that
  // reading a row allocates nothing of its own.
  std::vector<Cell> cells_;
  std::string bytes_;
  // The last rows of rows_ that Update added while the statement had not
  // read all rows; rows read later go in front of them.
  size_t added_unread_ = 0;
  size_t current_ = 0;            // index into rows_; rows_.size() = eof
  std::unique_ptr<Row> new_row_;  // the row AddNew started, until stored
  bool closed_ = false;
  Status status_;  // the first failed read of a row
};

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_RECORD_SOURCE_H_

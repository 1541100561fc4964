// The record source's cursor: opening a query, reading its rows as they are
// walked, the current row and its values. Storing rows is in
// record_writer.cc.

#include "platform/record_source.h"

#include "platform/ascii.h"
#include "platform/cell_values.h"
#include "platform/query_shaping.h"

namespace kirvs {

namespace {

Status Closed() { return Status::NotSupported("record source is closed"); }
Status NoCurrentRow() { return Status::NotFound("no current row"); }
Status UnknownColumn(int index) {
  return Status::NotFound("unknown column: #" + std::to_string(index));
}

}  // namespace

RecordSource::RecordSource(std::shared_ptr<Database> db, OpenMode mode)
    : db_(std::move(db)), mode_(mode) {}

RecordSource::~RecordSource() { Close(); }

Status RecordSource::Open(const std::string& db_path, std::string_view query,
                          OpenMode mode, std::unique_ptr<RecordSource>* out) {
  std::shared_ptr<Database> db;
  Status s = Database::Open(db_path, &db);
  if (!s.ok()) return s;
  return Open(std::move(db), query, mode, out);
}

Status RecordSource::Open(std::shared_ptr<Database> db, std::string_view query,
                          OpenMode mode, std::unique_ptr<RecordSource>* out) {
  // SQLite reads a query text only up to its first NUL; a value holding one
  // would leave the query cut short, so such a text is never run.
  if (query.find('\0') != std::string_view::npos) {
    return Status::InvalidArgument("text contains a NUL character");
  }
  std::unique_ptr<RecordSource> rs(new RecordSource(std::move(db), mode));
  Status s = rs->Prepare(query);
  // A read opens on its first row so that a failing query fails here; a
  // lookup reads all rows for its filter. An update reads nothing yet.
  if (s.ok() && mode != OpenMode::kUpdate) {
    s = mode == OpenMode::kLookup ? rs->FetchAll() : rs->FetchUntil(0);
  }
  if (!s.ok()) return s;
  *out = std::move(rs);
  return Status();
}

Status RecordSource::Prepare(std::string_view query) {
  bool with_rowid = false;
  if (mode_ == OpenMode::kUpdate) {
    std::string text = WithRowId(query);
    with_rowid =
        !text.empty() && Statement::Prepare(*db_, text, &statement_).ok();
  }
  if (!with_rowid) {
    Status s = Statement::Prepare(*db_, query, &statement_);
    if (!s.ok()) return s;
  }
  const Statement& stmt = *statement_;
  rowid_selected_ = with_rowid;
  const int columns = stmt.column_count() - (with_rowid ? 1 : 0);
  if (with_rowid) {
    // The rows are stored in the table whose rowid the query selects.
    table_ = stmt.table_name(columns);
    if (table_.empty()) with_rowid = false;
  }
  for (int i = 0; i < columns; ++i) {
    FieldInfo field;
    field.name = stmt.column_name(i);
    ColumnType type = stmt.column_type(i);
    field.type_code = type.type_code;
    field.defined_size = type.defined_size;
    fields_.push_back(std::move(field));
    if (with_rowid) {
      std::string table = stmt.table_name(i);
      origin_columns_.push_back(stmt.origin_name(i));
      // Rows of a query over several tables cannot be stored; a computed
      // column (no table) is only left out when its row is stored.
      if (!table.empty() && table_ != table) with_rowid = false;
    }
  }
  if (!with_rowid) {
    table_.clear();
    origin_columns_.clear();
  }
  // Room for a short list at once, so that it need not grow row by row.
  if (mode_ == OpenMode::kRead) {
    constexpr size_t kFirstRows = 32;
    rows_.reserve(kFirstRows);
    cells_.reserve(kFirstRows * fields_.size());
    bytes_.reserve(kFirstRows * 64);
  }
  return Status();
}

Status RecordSource::FetchUntil(size_t index) {
  if (!status_.ok()) return status_;
  const int columns = field_count();
  while (statement_ != nullptr && rows_.size() <= index) {
    bool have_row = false;
    Status s = statement_->Step(&have_row);
    if (!s.ok()) {
      // The rows read so far stay, but the walk ends here: a list that
      // lost rows must not pass for the whole list.
      status_ = s;
      statement_.reset();
      added_unread_ = 0;
      current_ = rows_.size();
      return status_;
    }
    if (!have_row) {
      statement_.reset();  // ends the read transaction
      added_unread_ = 0;
      break;
    }
    Row row;
    if (rowid_selected_) row.rowid = statement_->ReadInteger(columns);
    // The rows that Update added before the query's rows were read follow
    // them, in memory already: the query may meet them again.
    const size_t at = rows_.size() - added_unread_;
    bool known = false;
    for (size_t i = at; i < rows_.size() && rowid_selected_; ++i) {
      known = known || rows_[i].rowid == row.rowid;
    }
    if (known) continue;
    row.first_cell = cells_.size();
    cells_.resize(cells_.size() + columns);
    for (int i = 0; i < columns; ++i) {
      statement_->ReadCell(i, &cells_[row.first_cell + i], &bytes_);
    }
    if (added_unread_ == 0) {
      rows_.push_back(std::move(row));
    } else {
      rows_.insert(rows_.begin() + at, std::move(row));
      if (current_ >= at) ++current_;
    }
  }
  return Status();
}

Status RecordSource::FetchAll() { return FetchUntil(SIZE_MAX - 1); }

bool RecordSource::eof() {
  if (closed_) return true;
  if (new_row_ != nullptr) return false;
  // A failed read sticks in status_ and leaves the rows short, so the walk
  // ends here and the caller learns of it from status().
  if (mode_ == OpenMode::kRead) {
    (void)FetchUntil(current_);
  } else {
    (void)FetchAll();
  }
  return current_ >= rows_.size();
}

bool RecordSource::bof() {
  if (closed_) return true;
  return eof() && rows_.empty();
}

Status RecordSource::MoveFirst() {
  if (closed_) return Closed();
  new_row_.reset();
  Status s = mode_ == OpenMode::kRead ? FetchUntil(0) : FetchAll();
  current_ = s.ok() ? 0 : rows_.size();
  return s;
}

Status RecordSource::MoveNext() {
  if (closed_) return Closed();
  if (new_row_ != nullptr) {
    new_row_.reset();
  } else {
    if (eof()) return status_.ok() ? NoCurrentRow() : status_;
    ++current_;
  }
  return mode_ == OpenMode::kRead ? FetchUntil(current_) : Status();
}

int32_t RecordSource::RecordCount() {
  if (closed_) return 0;
  // A failed read sticks in status_; the count is then of the rows before it.
  (void)FetchAll();
  int32_t count = 0;
  for (const Row& row : rows_) {
    if (!row.deleted) ++count;
  }
  return count;
}

int RecordSource::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (EqualsIgnoringCase(fields_[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

Status RecordSource::CurrentRow(Row** row) {
  if (closed_) return Closed();
  if (new_row_ != nullptr) {
    *row = new_row_.get();
    return Status();
  }
  // A row in memory needs no read (the row Update just added, before the
  // query's rows are read, is one).
  if (current_ >= rows_.size() && eof()) return NoCurrentRow();
  if (rows_[current_].deleted) return NoCurrentRow();
  *row = &rows_[current_];
  return Status();
}

void RecordSource::MakeWritable(Row* row) {
  if (!row->values.empty() || fields_.empty()) return;
  row->values.reserve(fields_.size());
  for (int i = 0; i < field_count(); ++i) {
    row->values.push_back(
        CellValue(cells_[row->first_cell + i], bytes_, fields_[i].type_code));
  }
  row->changed.assign(fields_.size(), false);
}

Status RecordSource::Get(int index, Variant* value) {
  Row* row;
  Status s = CurrentRow(&row);
  if (!s.ok()) return s;
  if (index < 0 || index >= field_count()) return UnknownColumn(index);
  if (!row->values.empty()) {
    *value = row->values[index];
  } else {
    *value = CellValue(cells_[row->first_cell + index], bytes_,
                       fields_[index].type_code);
  }
  return Status();
}

Status RecordSource::Get(std::string_view name, Variant* value) {
  int index = FieldIndex(name);
  if (index < 0 && !closed_) {
    return Status::NotFound("unknown column: " + std::string(name));
  }
  return Get(index, value);
}

Status RecordSource::GetText(int index, std::string* buffer,
                             std::string_view* text) {
  Row* row;
  Status s = CurrentRow(&row);
  if (!s.ok()) return s;
  if (index < 0 || index >= field_count()) return UnknownColumn(index);
  *text = RowText(*row, index, buffer);
  return Status();
}

std::string_view RecordSource::RowText(const Row& row, int index,
                                       std::string* buffer) const {
  if (!row.values.empty()) return *buffer = row.values[index].ToText();
  return CellText(cells_[row.first_cell + index], bytes_,
                  fields_[index].type_code, buffer);
}

Status RecordSource::Set(int index, const Variant& value) {
  Row* row;
  Status s = CurrentRow(&row);
  if (!s.ok()) return s;
  if (index < 0 || index >= field_count()) return UnknownColumn(index);
  Variant converted;
  s = ConvertForColumn(value, fields_[index], &converted);
  if (!s.ok()) return s;
  MakeWritable(row);
  row->values[index] = std::move(converted);
  row->changed[index] = true;
  return Status();
}

Status RecordSource::Set(std::string_view name, const Variant& value) {
  int index = FieldIndex(name);
  if (index < 0 && !closed_) {
    return Status::NotFound("unknown column: " + std::string(name));
  }
  return Set(index, value);
}

Status RecordSource::AddNew() {
  if (closed_) return Closed();
  new_row_ = std::make_unique<Row>();
  new_row_->values.assign(fields_.size(), Variant::Null());
  new_row_->changed.assign(fields_.size(), false);
  return Status();
}

Status RecordSource::Filter(std::string_view name, std::string_view key) {
  if (closed_) return Closed();
  int index = FieldIndex(name);
  if (index < 0) {
    return Status::NotFound("unknown column: " + std::string(name));
  }
  Status s = FetchAll();
  if (!s.ok()) return s;
  std::vector<Row> kept;
  std::string buffer;
  for (Row& row : rows_) {
    if (!row.deleted && RowText(row, index, &buffer) == key) {
      kept.push_back(std::move(row));
    }
  }
  rows_ = std::move(kept);
  new_row_.reset();
  current_ = 0;
  return Status();
}

void RecordSource::Close() {
  if (closed_) return;
  closed_ = true;
  new_row_.reset();
  statement_.reset();
  rows_.clear();
  cells_.clear();
  bytes_.clear();
  db_.reset();
}

}  // namespace kirvs

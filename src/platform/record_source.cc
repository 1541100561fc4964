#include "platform/record_source.h"

#include <sqlite3.h>

#include <cmath>

#include "platform/ascii.h"
#include "platform/text_forms.h"

namespace kirvs {

struct RecordSource::Row {
  std::vector<Variant> values;
  std::vector<bool> changed;
  int64_t rowid = 0;  // the base-table row of a kUpdate source
  bool deleted = false;
};

struct RecordSource::Statement {
  sqlite3_stmt* stmt = nullptr;
  ~Statement() { sqlite3_finalize(stmt); }
};

namespace {

// The name under which a kUpdate query also selects each row's rowid.
constexpr char kRowIdColumn[] = "kirvs_rowid";

Status Closed() { return Status::NotSupported("record source is closed"); }
Status NoCurrentRow() { return Status::NotFound("no current row"); }

Status SqliteError(sqlite3* db) { return Status::Database(sqlite3_errmsg(db)); }

std::string QuoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9') || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// The query with each row's rowid selected after the query's own columns,
// for a single-table "SELECT ..." query; empty when the query has another
// shape. The rowid goes last so that "ORDER BY 1" still means the query's
// first column.
std::string WithRowId(std::string_view query) {
  std::string_view text = TrimBlanks(query);
  if (!StartsWithIgnoringCase(text, "SELECT") || text.size() < 7 ||
      IsNameCharacter(text[6]) ||
      StartsWithIgnoringCase(TrimBlanks(text.substr(6)), "DISTINCT ")) {
    return "";
  }
  // Find the FROM that ends the column list: outside quotes, brackets,
  // comments and parentheses. A grouped or compound query has no rows to
  // store.
  size_t from = std::string_view::npos;
  int depth = 0;
  for (size_t i = 6; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      size_t end = text.find(c == '[' ? ']' : c, i + 1);
      if (end == std::string_view::npos) return "";
      i = end;
    } else if (c == '-' && text.substr(i, 2) == "--") {
      i = text.find('\n', i);
      if (i == std::string_view::npos) break;
    } else if (c == '/' && text.substr(i, 2) == "/*") {
      i = text.find("*/", i + 2);
      if (i == std::string_view::npos) break;
      ++i;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (depth == 0 && IsNameCharacter(c) &&
               !IsNameCharacter(text[i - 1])) {
      size_t end = i;
      while (end < text.size() && IsNameCharacter(text[end])) ++end;
      std::string_view word = text.substr(i, end - i);
      if (EqualsIgnoringCase(word, "GROUP") ||
          EqualsIgnoringCase(word, "UNION") ||
          EqualsIgnoringCase(word, "INTERSECT") ||
          EqualsIgnoringCase(word, "EXCEPT")) {
        return "";
      }
      if (from == std::string_view::npos && EqualsIgnoringCase(word, "FROM")) {
        from = i;
      }
      i = end - 1;
    }
  }
  if (from == std::string_view::npos) return "";
  return std::string(TrimBlanks(text.substr(0, from))) + ", rowid AS " +
         kRowIdColumn + " " + std::string(text.substr(from));
}

Variant ReadColumn(sqlite3_stmt* stmt, int column, int type_code) {
  int storage = sqlite3_column_type(stmt, column);
  if (storage == SQLITE_NULL) return Variant::Null();
  if (IsDateType(type_code)) {
    if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT) {
      return Variant::Date(sqlite3_column_double(stmt, column));
    }
    std::string text(
        reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
        sqlite3_column_bytes(stmt, column));
    std::optional<double> date = ParseDate(text);
    return date ? Variant::Date(*date) : Variant(std::move(text));
  }
  if (type_code == kTypeBoolean &&
      (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)) {
    return Variant::Boolean(sqlite3_column_double(stmt, column) != 0);
  }
  if (storage == SQLITE_INTEGER) {
    sqlite3_int64 number = sqlite3_column_int64(stmt, column);
    if (number >= INT32_MIN && number <= INT32_MAX) {
      return Variant::Integer(static_cast<int32_t>(number));
    }
    return Variant::Double(static_cast<double>(number));
  }
  if (storage == SQLITE_FLOAT) {
    return Variant::Double(sqlite3_column_double(stmt, column));
  }
  const void* bytes = storage == SQLITE_BLOB
                          ? sqlite3_column_blob(stmt, column)
                          : sqlite3_column_text(stmt, column);
  return Variant(std::string(static_cast<const char*>(bytes),
                             sqlite3_column_bytes(stmt, column)));
}

Status CannotConvert(const Variant& value, std::string_view what,
                     const FieldInfo& field) {
  return Status::InvalidArgument("cannot convert '" + value.ToText() + "' to " +
                                 std::string(what) + " for column " +
                                 field.name);
}

// Converts a value written to a column into the column's type.
Status ConvertForColumn(const Variant& value, const FieldInfo& field,
                        Variant* out) {
  const int code = field.type_code;
  if (value.IsEmpty() || value.IsNull()) {
    *out = Variant::Null();
    return Status();
  }
  if (value.IsForm()) return CannotConvert(value, "a column value", field);
  if (IsDateType(code)) {
    if (value.type() == Variant::Type::kDate) {
      *out = value;
    } else if (value.IsNumber()) {
      *out = Variant::Date(value.number());
    } else if (std::optional<double> date =
                   value.IsText() ? ParseDate(value.text()) : std::nullopt) {
      *out = Variant::Date(*date);
    } else {
      return CannotConvert(value, "a date", field);
    }
    return Status();
  }
  if (code == kTypeBoolean) {
    if (value.IsText()) {
      if (EqualsIgnoringCase(TrimBlanks(value.text()), "True")) {
        *out = Variant::Boolean(true);
      } else if (EqualsIgnoringCase(TrimBlanks(value.text()), "False")) {
        *out = Variant::Boolean(false);
      } else if (std::optional<double> n = ParseNumber(value.text())) {
        *out = Variant::Boolean(*n != 0);
      } else {
        return CannotConvert(value, "a Boolean", field);
      }
    } else {
      *out = Variant::Boolean(value.number() != 0);
    }
    return Status();
  }
  if (IsNumericType(code)) {
    double number;
    if (value.IsText()) {
      std::optional<double> parsed = ParseNumber(value.text());
      if (!parsed) return CannotConvert(value, "a number", field);
      number = *parsed;
    } else {
      number = value.number();
    }
    if (IsIntegerType(code)) {
      double rounded = std::nearbyint(number);
      if (rounded >= INT32_MIN && rounded <= INT32_MAX) {
        *out = Variant::Integer(static_cast<int32_t>(rounded));
      } else if (code == kTypeBigInt && std::fabs(rounded) < 9.2e18) {
        *out = Variant::Double(rounded);
      } else {
        return CannotConvert(value, "a whole number in range", field);
      }
    } else {
      *out = Variant::Double(number);
    }
    return Status();
  }
  *out = Variant(value.ToText());
  return Status();
}

// Binds a column value, already converted to its column's type.
void BindValue(sqlite3_stmt* stmt, int slot, const Variant& value,
               int type_code) {
  switch (value.type()) {
    case Variant::Type::kText:
      sqlite3_bind_text(stmt, slot, value.text().data(),
                        static_cast<int>(value.text().size()),
                        SQLITE_TRANSIENT);
      return;
    case Variant::Type::kInteger:
      sqlite3_bind_int(stmt, slot, value.integer());
      return;
    case Variant::Type::kDouble:
      sqlite3_bind_double(stmt, slot, value.number());
      return;
    case Variant::Type::kBoolean:
      sqlite3_bind_int(stmt, slot, value.boolean() ? 1 : 0);
      return;
    case Variant::Type::kDate: {
      CivilTime t = CivilFromMoment(value.date());
      char buffer[40];
      if (type_code == kTypeTime) {
        std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", t.hour, t.minute,
                      t.second);
      } else if (type_code == kTypeDate) {
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", t.year, t.month,
                      t.day);
      } else {
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d",
                      t.year, t.month, t.day, t.hour, t.minute, t.second);
      }
      sqlite3_bind_text(stmt, slot, buffer, -1, SQLITE_TRANSIENT);
      return;
    }
    default:
      sqlite3_bind_null(stmt, slot);
  }
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
  sqlite3* db = db_->handle();
  statement_ = std::make_unique<Statement>();
  bool with_rowid = false;
  if (mode_ == OpenMode::kUpdate) {
    std::string text = WithRowId(query);
    if (!text.empty() &&
        sqlite3_prepare_v2(db, text.c_str(), static_cast<int>(text.size()),
                           &statement_->stmt, nullptr) == SQLITE_OK) {
      with_rowid = true;
    }
  }
  if (!with_rowid) {
    std::string text(query);
    if (sqlite3_prepare_v2(db, text.c_str(), static_cast<int>(text.size()),
                           &statement_->stmt, nullptr) != SQLITE_OK) {
      return SqliteError(db);
    }
    if (statement_->stmt == nullptr) {
      return Status::InvalidArgument("the query is empty");
    }
  }
  sqlite3_stmt* stmt = statement_->stmt;
  rowid_selected_ = with_rowid;
  const int columns = sqlite3_column_count(stmt) - (with_rowid ? 1 : 0);
  if (with_rowid) {
    // The rows are stored in the table whose rowid the query selects.
    const char* table = sqlite3_column_table_name(stmt, columns);
    if (table == nullptr) with_rowid = false;
    table_ = table ? table : "";
  }
  for (int i = 0; i < columns; ++i) {
    FieldInfo field;
    field.name = sqlite3_column_name(stmt, i);
    const char* declared = sqlite3_column_decltype(stmt, i);
    ColumnType type = ColumnTypeOf(declared ? declared : "");
    field.type_code = type.type_code;
    field.defined_size = type.defined_size;
    fields_.push_back(std::move(field));
    if (with_rowid) {
      const char* table = sqlite3_column_table_name(stmt, i);
      const char* origin = sqlite3_column_origin_name(stmt, i);
      origin_columns_.push_back(origin ? origin : "");
      // Rows of a query over several tables cannot be stored; a computed
      // column (no table) is only left out when its row is stored.
      if (table != nullptr && table_ != table) with_rowid = false;
    }
  }
  if (!with_rowid) {
    table_.clear();
    origin_columns_.clear();
  }
  return Status();
}

Status RecordSource::FetchUntil(size_t index) {
  while (statement_ != nullptr && rows_.size() <= index) {
    sqlite3_stmt* stmt = statement_->stmt;
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE) {
      statement_.reset();  // ends the read transaction
      added_unread_ = 0;
      break;
    }
    if (rc != SQLITE_ROW) {
      Status s = SqliteError(db_->handle());
      statement_.reset();
      added_unread_ = 0;
      return s;
    }
    auto row = std::make_unique<Row>();
    if (rowid_selected_) row->rowid = sqlite3_column_int64(stmt, field_count());
    // The rows that Update added before the query's rows were read follow
    // them, in memory already: the query may meet them again.
    const size_t at = rows_.size() - added_unread_;
    bool known = false;
    for (size_t i = at; i < rows_.size() && rowid_selected_; ++i) {
      known = known || rows_[i]->rowid == row->rowid;
    }
    if (known) continue;
    row->values.reserve(fields_.size());
    for (int i = 0; i < field_count(); ++i) {
      row->values.push_back(ReadColumn(stmt, i, fields_[i].type_code));
    }
    row->changed.assign(fields_.size(), false);
    rows_.insert(rows_.begin() + at, std::move(row));
    if (added_unread_ > 0 && current_ >= at) ++current_;
  }
  return Status();
}

Status RecordSource::FetchAll() { return FetchUntil(SIZE_MAX - 1); }

bool RecordSource::eof() {
  if (closed_) return true;
  if (new_row_ != nullptr) return false;
  if (mode_ == OpenMode::kRead) {
    FetchUntil(current_);
  } else {
    FetchAll();
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
  current_ = 0;
  return s;
}

Status RecordSource::MoveNext() {
  if (closed_) return Closed();
  if (new_row_ != nullptr) {
    new_row_.reset();
  } else {
    if (eof()) return NoCurrentRow();
    ++current_;
  }
  return mode_ == OpenMode::kRead ? FetchUntil(current_) : Status();
}

int32_t RecordSource::RecordCount() {
  if (closed_) return 0;
  FetchAll();
  int32_t count = 0;
  for (const auto& row : rows_) {
    if (!row->deleted) ++count;
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
  if (rows_[current_]->deleted) return NoCurrentRow();
  *row = rows_[current_].get();
  return Status();
}

Status RecordSource::Get(int index, Variant* value) {
  Row* row;
  Status s = CurrentRow(&row);
  if (!s.ok()) return s;
  if (index < 0 || index >= field_count()) {
    return Status::NotFound("unknown column: #" + std::to_string(index));
  }
  *value = row->values[index];
  return Status();
}

Status RecordSource::Get(std::string_view name, Variant* value) {
  int index = FieldIndex(name);
  if (index < 0 && !closed_) {
    return Status::NotFound("unknown column: " + std::string(name));
  }
  return Get(index, value);
}

Status RecordSource::Set(int index, const Variant& value) {
  Row* row;
  Status s = CurrentRow(&row);
  if (!s.ok()) return s;
  if (index < 0 || index >= field_count()) {
    return Status::NotFound("unknown column: #" + std::to_string(index));
  }
  Variant converted;
  s = ConvertForColumn(value, fields_[index], &converted);
  if (!s.ok()) return s;
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

Status RecordSource::Update() {
  Row* row;
  Status s = CurrentRow(&row);
  if (!s.ok()) return s;
  if (mode_ == OpenMode::kUpdate) {
    s = row == new_row_.get() ? StoreNewRow(row) : StoreChangedRow(row);
    if (!s.ok()) return s;
  }
  row->changed.assign(fields_.size(), false);
  if (row == new_row_.get()) {
    // The stored row becomes the current row, after the rows of the query.
    // Rows not read yet stay unread, so that adding a row costs the same
    // whatever the table holds; they are read in front of it later.
    if (mode_ == OpenMode::kUpdate && statement_ != nullptr) {
      ++added_unread_;
    } else {
      FetchAll();
    }
    rows_.push_back(std::move(new_row_));
    current_ = rows_.size() - 1;
  }
  return Status();
}

Status RecordSource::StoreNewRow(Row* row) {
  if (table_.empty()) {
    return Status::NotSupported("the rows of this query cannot be stored");
  }
  std::string columns, slots;
  for (int i = 0; i < field_count(); ++i) {
    if (!row->changed[i] || origin_columns_[i].empty()) continue;
    if (!columns.empty()) {
      columns += ", ";
      slots += ", ";
    }
    columns += QuoteIdentifier(origin_columns_[i]);
    slots += "?";
  }
  std::string sql = "INSERT INTO " + QuoteIdentifier(table_);
  sql += columns.empty() ? " DEFAULT VALUES"
                         : " (" + columns + ") VALUES (" + slots + ")";
  Statement insert;
  sqlite3* db = db_->handle();
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &insert.stmt, nullptr) !=
      SQLITE_OK) {
    return SqliteError(db);
  }
  int slot = 1;
  for (int i = 0; i < field_count(); ++i) {
    if (!row->changed[i] || origin_columns_[i].empty()) continue;
    BindValue(insert.stmt, slot++, row->values[i], fields_[i].type_code);
  }
  if (sqlite3_step(insert.stmt) != SQLITE_DONE) return SqliteError(db);
  row->rowid = sqlite3_last_insert_rowid(db);
  return Status();
}

Status RecordSource::StoreChangedRow(Row* row) {
  if (table_.empty()) {
    return Status::NotSupported("the rows of this query cannot be stored");
  }
  std::string assignments;
  for (int i = 0; i < field_count(); ++i) {
    if (!row->changed[i]) continue;
    if (origin_columns_[i].empty()) {
      return Status::NotSupported("column " + fields_[i].name +
                                  " cannot be stored");
    }
    if (!assignments.empty()) assignments += ", ";
    assignments += QuoteIdentifier(origin_columns_[i]) + " = ?";
  }
  if (assignments.empty()) return Status();
  std::string sql = "UPDATE " + QuoteIdentifier(table_) + " SET " +
                    assignments + " WHERE rowid = ?";
  Statement update;
  sqlite3* db = db_->handle();
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &update.stmt, nullptr) !=
      SQLITE_OK) {
    return SqliteError(db);
  }
  int slot = 1;
  for (int i = 0; i < field_count(); ++i) {
    if (row->changed[i]) {
      BindValue(update.stmt, slot++, row->values[i], fields_[i].type_code);
    }
  }
  sqlite3_bind_int64(update.stmt, slot, row->rowid);
  if (sqlite3_step(update.stmt) != SQLITE_DONE) return SqliteError(db);
  if (sqlite3_changes(db) == 0) {
    return Status::NotFound("the row no longer exists");
  }
  return Status();
}

Status RecordSource::Delete() {
  Row* row;
  Status s = CurrentRow(&row);
  if (!s.ok()) return s;
  if (row == new_row_.get()) {
    new_row_.reset();
    return Status();
  }
  if (mode_ != OpenMode::kUpdate || table_.empty()) {
    return Status::NotSupported("the rows of this query cannot be deleted");
  }
  Statement remove;
  sqlite3* db = db_->handle();
  std::string sql =
      "DELETE FROM " + QuoteIdentifier(table_) + " WHERE rowid = ?";
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &remove.stmt, nullptr) !=
      SQLITE_OK) {
    return SqliteError(db);
  }
  sqlite3_bind_int64(remove.stmt, 1, row->rowid);
  if (sqlite3_step(remove.stmt) != SQLITE_DONE) return SqliteError(db);
  row->deleted = true;
  return Status();
}

Status RecordSource::Filter(std::string_view name, std::string_view key) {
  if (closed_) return Closed();
  int index = FieldIndex(name);
  if (index < 0)
    return Status::NotFound("unknown column: " + std::string(name));
  Status s = FetchAll();
  if (!s.ok()) return s;
  std::vector<std::unique_ptr<Row>> kept;
  for (auto& row : rows_) {
    if (!row->deleted && row->values[index].ToText() == key) {
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
  db_.reset();
}

}  // namespace kirvs

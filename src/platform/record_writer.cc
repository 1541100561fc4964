// The record source's write-back: storing a new row, the changed columns of
// a row, and deleting a row, in the one table of a kUpdate source, by rowid.
// The cursor is in record_source.cc.

#include "platform/cell_values.h"
#include "platform/query_shaping.h"
#include "platform/record_source.h"

namespace kirvs {

namespace {

Status NotStorable() {
  return Status::NotSupported("the rows of this query cannot be stored");
}

// Runs a write whose values are bound; fails with the store's message.
Status RunWrite(Statement* statement) {
  bool row = false;
  return statement->Step(&row);
}

}  // namespace

Status RecordSource::Update() {
  Row* row;
  Status s = CurrentRow(&row);
  if (!s.ok()) return s;
  if (mode_ == OpenMode::kUpdate) {
    s = row == new_row_.get() ? StoreNewRow(row) : StoreChangedRow(row);
    if (!s.ok()) return s;
  }
  if (!row->values.empty()) row->changed.assign(fields_.size(), false);
  if (row == new_row_.get()) {
    // The stored row becomes the current row, after the rows of the query.
    // Rows not read yet stay unread, so that adding a row costs the same
    // whatever the table holds; they are read in front of it later.
    if (mode_ == OpenMode::kUpdate && statement_ != nullptr) {
      ++added_unread_;
    } else {
      // A failed read sticks in status_, which the next walk reports; the
      // row itself is stored.
      (void)FetchAll();
    }
    rows_.push_back(std::move(*new_row_));
    new_row_.reset();
    current_ = rows_.size() - 1;
  }
  return Status();
}

Status RecordSource::StoreNewRow(Row* row) {
  if (table_.empty()) return NotStorable();
  std::vector<std::string> columns;
  std::vector<int> stored;
  for (int i = 0; i < field_count(); ++i) {
    if (!row->changed[i] || origin_columns_[i].empty()) continue;
    columns.push_back(origin_columns_[i]);
    stored.push_back(i);
  }
  std::unique_ptr<Statement> insert;
  Status s = Statement::Prepare(*db_, InsertSql(table_, columns), &insert);
  if (!s.ok()) return s;
  for (size_t slot = 0; slot < stored.size(); ++slot) {
    const int i = stored[slot];
    BindValue(insert.get(), static_cast<int>(slot) + 1, row->values[i],
              fields_[i].type_code);
  }
  s = RunWrite(insert.get());
  if (!s.ok()) return s;
  row->rowid = insert->LastInsertRowId();
  return Status();
}

Status RecordSource::StoreChangedRow(Row* row) {
  if (table_.empty()) return NotStorable();
  if (row->values.empty()) return Status();  // nothing was written to it
  std::vector<std::string> columns;
  std::vector<int> stored;
  for (int i = 0; i < field_count(); ++i) {
    if (!row->changed[i]) continue;
    if (origin_columns_[i].empty()) {
      return Status::NotSupported("column " + fields_[i].name +
                                  " cannot be stored");
    }
    columns.push_back(origin_columns_[i]);
    stored.push_back(i);
  }
  if (columns.empty()) return Status();
  std::unique_ptr<Statement> update;
  Status s = Statement::Prepare(*db_, UpdateSql(table_, columns), &update);
  if (!s.ok()) return s;
  int slot = 1;
  for (int i : stored) {
    BindValue(update.get(), slot++, row->values[i], fields_[i].type_code);
  }
  update->BindInteger(slot, row->rowid);
  s = RunWrite(update.get());
  if (!s.ok()) return s;
  if (update->Changes() == 0) {
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
  std::unique_ptr<Statement> remove;
  s = Statement::Prepare(*db_, DeleteSql(table_), &remove);
  if (!s.ok()) return s;
  remove->BindInteger(1, row->rowid);
  s = RunWrite(remove.get());
  if (!s.ok()) return s;
  row->deleted = true;
  return Status();
}

}  // namespace kirvs

#include "data/demo_inserter.h"

#include <sqlite3.h>

#include "platform/text_forms.h"

namespace kirvs {

std::string StoredMoment(double days) {
  return FormatStoredDate(days, StoredDateLayout::kDateTime);
}

RowInserter::RowInserter(Database* db, std::string_view sql) : db_(db) {
  Check(sqlite3_prepare_v2(db->handle(), sql.data(),
                           static_cast<int>(sql.size()), &statement_, nullptr));
}

RowInserter::~RowInserter() { sqlite3_finalize(statement_); }

void RowInserter::Check(int rc) {
  if (rc == SQLITE_OK || rc == SQLITE_DONE || !status_.ok()) return;
  status_ = Status::Database(sqlite3_errmsg(db_->handle()));
}

void RowInserter::Bind(int index, SqlNull) {
  Check(sqlite3_bind_null(statement_, index));
}

void RowInserter::Bind(int index, int64_t value) {
  Check(sqlite3_bind_int64(statement_, index, value));
}

void RowInserter::Bind(int index, double value) {
  Check(sqlite3_bind_double(statement_, index, value));
}

void RowInserter::Bind(int index, SqlMoment value) {
  Bind(index, StoredMoment(value.days));
}

void RowInserter::Bind(int index, std::string_view value) {
  Check(sqlite3_bind_text(statement_, index, value.data(),
                          static_cast<int>(value.size()), SQLITE_TRANSIENT));
}

void RowInserter::Step() {
  if (!status_.ok()) return;
  Check(sqlite3_step(statement_));
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

}  // namespace kirvs

#include "data/demo_inserter.h"

#include "platform/text_forms.h"

namespace kirvs {

std::string StoredMoment(double days) {
  return FormatStoredDate(days, StoredDateLayout::kDateTime);
}

RowInserter::RowInserter(Database* db, std::string_view sql) {
  status_ = Statement::Prepare(*db, sql, &statement_);
}

void RowInserter::Bind(int index, SqlNull) { statement_->BindNull(index); }

void RowInserter::Bind(int index, int64_t value) {
  statement_->BindInteger(index, value);
}

void RowInserter::Bind(int index, double value) {
  statement_->BindReal(index, value);
}

void RowInserter::Bind(int index, SqlMoment value) {
  Bind(index, StoredMoment(value.days));
}

void RowInserter::Bind(int index, std::string_view value) {
  statement_->BindText(index, value);
}

void RowInserter::Step() {
  if (!status_.ok()) return;
  bool row = false;
  status_ = statement_->Step(&row);
  statement_->Reset();
}

}  // namespace kirvs

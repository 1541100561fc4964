#include "data/request_numbers.h"

#include "kirvs/variant.h"
#include "platform/record_source.h"
#include "platform/text_forms.h"

namespace kirvs {

namespace {

Status DrawNumber(const std::shared_ptr<Database>& db, int32_t* number) {
  std::unique_ptr<RecordSource> rs;
  Status s = RecordSource::Open(
      db, "SELECT * FROM Counters WHERE FileName='Current_Requests'",
      OpenMode::kUpdate, &rs);
  if (!s.ok()) return s;
  if (rs->field_count() < 2) {
    return Status::NotFound("unknown column: #1 of Counters");
  }
  if (rs->RecordCount() != 0) {
    s = rs->MoveFirst();
  } else {
    s = rs->AddNew();
    if (s.ok()) s = rs->Set(0, Variant("Current_Requests"));
  }
  if (!s.ok()) return s;
  Variant last;
  s = rs->Get(1, &last);
  if (!s.ok()) return s;
  const double following = LeadingNumber(last.ToText()) + 1;
  // Past the 32-bit range the rounding would hand out the last number
  // again; a number must never be issued twice.
  if (following >= 2147483647.5 || following < -2147483648.5) {
    return Status::InvalidArgument("the request counter is out of range: " +
                                   last.ToText());
  }
  const int32_t next = RoundToInt32(following);
  s = rs->Set(1, Variant::Integer(next));
  if (s.ok()) s = rs->Update();
  if (s.ok()) *number = next;
  return s;
}

}  // namespace

Status NextRequestNumber(const std::shared_ptr<Database>& db, int32_t* number) {
  *number = 0;
  if (db->in_transaction()) return DrawNumber(db, number);
  Status s = db->Begin();
  if (s.ok()) s = DrawNumber(db, number);
  if (s.ok()) s = db->Commit();
  if (!s.ok()) {
    db->Rollback();
    *number = 0;
  }
  return s;
}

}  // namespace kirvs

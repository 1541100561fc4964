#include "data/activity_pages.h"

#include <random>

#include "platform/record_source.h"
#include "platform/text_forms.h"

namespace kirvs {

namespace {

constexpr size_t kPageIdLength = 32;

bool IsLowerHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

}  // namespace

std::string NewActivityPageId() {
  // One generator per thread, seeded from the system's entropy source.
  thread_local std::mt19937_64 generator = [] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device(),
                       device(), device(), device(), device()};
    return std::mt19937_64(seed);
  }();
  static constexpr char kHex[] = "0123456789abcdef";
  std::string id;
  for (int half = 0; half < 2; ++half) {
    uint64_t bits = generator();
    for (int i = 0; i < 16; ++i, bits >>= 4) id += kHex[bits & 0xF];
  }
  return id;
}

bool IsActivityPageId(std::string_view id) {
  if (id.size() != kPageIdLength) return false;
  for (char c : id) {
    if (!IsLowerHex(c)) return false;
  }
  return true;
}

Status FindActivityPage(const std::shared_ptr<Database>& db,
                        std::string_view page_id, bool* found,
                        ActivityKey* key) {
  *found = false;
  Status s = db->Execute(kActivityPagesTable);
  std::unique_ptr<RecordSource> rs;
  if (s.ok()) {
    s = RecordSource::Open(db,
                           "SELECT RequestNo, ActivityNo FROM Activity_Pages "
                           "WHERE PageId='" +
                               std::string(page_id) + "'",
                           OpenMode::kRead, &rs);
  }
  if (!s.ok() || rs->eof()) return s;
  Variant request_no, act_no;
  s = rs->Get(0, &request_no);
  if (s.ok()) s = rs->Get(1, &act_no);
  if (!s.ok()) return s;
  if (!request_no.IsNumber() || !act_no.IsNumber()) return Status();
  *found = true;
  key->request_no = RoundToInt32(request_no.number());
  key->act_no = RoundToInt32(act_no.number());
  return Status();
}

Status RememberActivityPage(Database* db, std::string_view page_id,
                            const ActivityKey& key) {
  Status s = db->Execute(kActivityPagesTable);
  if (!s.ok()) return s;
  const std::string values = "('" + std::string(page_id) + "', " +
                             FormatInteger(key.request_no) + ", " +
                             FormatInteger(key.act_no) + ")";
  if (db->store() == Store::kPostgres) {
    return db->Execute(
        "INSERT INTO Activity_Pages (PageId, RequestNo, ActivityNo) VALUES " +
        values +
        " ON CONFLICT (PageId) DO UPDATE SET RequestNo = EXCLUDED.RequestNo, "
        "ActivityNo = EXCLUDED.ActivityNo");
  }
  return db->Execute(
      "INSERT OR REPLACE INTO Activity_Pages (PageId, RequestNo, ActivityNo) "
      "VALUES " +
      values);
}

Status RenumberActivityPages(
    Database* db, int32_t request_no,
    const std::vector<std::pair<int32_t, int32_t>>& moves) {
  if (moves.empty()) return Status();
  Status s = db->Execute(kActivityPagesTable);
  if (!s.ok()) return s;
  // One statement for all moves, so that numbers that trade places (3 -> 4,
  // 4 -> 3) are each moved once.
  std::string when, old_numbers;
  for (const auto& [from, to] : moves) {
    when += " WHEN " + FormatInteger(from) + " THEN " + FormatInteger(to);
    if (!old_numbers.empty()) old_numbers += ", ";
    old_numbers += FormatInteger(from);
  }
  return db->Execute("UPDATE Activity_Pages SET ActivityNo = CASE ActivityNo" +
                     when +
                     " END WHERE RequestNo=" + FormatInteger(request_no) +
                     " AND ActivityNo IN (" + old_numbers + ")");
}

}  // namespace kirvs

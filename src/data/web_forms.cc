#include "data/web_forms.h"

#include <vector>

#include "data/bound_sql.h"
#include "data/web_state_tables.h"

namespace kirvs {

Status IssueWebForm(const std::string& db_path, std::string_view session_id,
                    std::string_view form_id, size_t keep) {
  const std::string hash = SessionIdHash(session_id);
  return InTransaction(db_path, [&](Database& db) {
    std::vector<SqlRow> rows;
    Status s = RunSql(db,
                      "SELECT COALESCE(MAX(issued), 0) + 1 FROM web_forms "
                      "WHERE session_hash = ?",
                      {hash}, &rows);
    const int64_t issued = s.ok() ? rows.front().Integer(0) : 0;
    if (s.ok()) {
      s = RunSql(db,
                 "INSERT INTO web_forms (session_hash, form_id, issued, "
                 "state, claimed_ms) VALUES (?, ?, ?, ?, 0)",
                 {hash, form_id, issued, int64_t{StoredForm::kIssued}});
    }
    // The oldest ids go first, but never one whose post is running.
    if (s.ok()) {
      s = RunSql(db,
                 "DELETE FROM web_forms WHERE session_hash = ? AND issued <= "
                 "? AND state <> ?",
                 {hash, issued - static_cast<int64_t>(keep),
                  int64_t{StoredForm::kBusy}});
    }
    return s;
  });
}

Status ClaimWebForm(const std::string& db_path, std::string_view session_id,
                    std::string_view form_id, int64_t now_ms, int64_t stale_ms,
                    bool* claimed, StoredForm* found) {
  *claimed = false;
  *found = StoredForm();
  if (form_id.empty()) return Status();
  const std::string hash = SessionIdHash(session_id);
  return WithDatabase(db_path, [&](Database& db) {
    // One statement decides: of two posts that claim at once, on one node
    // or two, only one changes the row.
    int changes = 0;
    Status s = RunSql(
        db,
        "UPDATE web_forms SET state = ?, claimed_ms = ? WHERE "
        "session_hash = ? AND form_id = ? AND (state = ? OR "
        "(state = ? AND claimed_ms < ?))",
        {int64_t{StoredForm::kBusy}, now_ms, hash, form_id,
         int64_t{StoredForm::kIssued}, int64_t{StoredForm::kBusy}, stale_ms},
        nullptr, &changes);
    if (!s.ok()) return s;
    if (changes == 1) {
      *claimed = true;
      found->state = StoredForm::kBusy;
      return s;
    }
    std::vector<SqlRow> rows;
    s = RunSql(db,
               "SELECT state, went_to, notice_text, notice_href, "
               "notice_link FROM web_forms WHERE session_hash = ? AND "
               "form_id = ?",
               {hash, form_id}, &rows);
    if (s.ok() && !rows.empty()) {
      const SqlRow& row = rows.front();
      found->state = static_cast<StoredForm::State>(row.Integer(0));
      found->location = row.Text(1);
      found->notice = StoredNotice{row.Text(2), row.Text(3), row.Text(4)};
    }
    return s;
  });
}

Status FinishWebForm(const std::string& db_path, std::string_view session_id,
                     std::string_view form_id, std::string_view location,
                     const StoredNotice& notice) {
  const std::string hash = SessionIdHash(session_id);
  return WithDatabase(db_path, [&](Database& db) {
    return RunSql(db,
                  "UPDATE web_forms SET state = ?, went_to = ?, "
                  "notice_text = ?, notice_href = ?, notice_link = ? WHERE "
                  "session_hash = ? AND form_id = ?",
                  {int64_t{StoredForm::kUsed}, location, notice.text,
                   notice.link_href, notice.link_text, hash, form_id});
  });
}

Status ReleaseWebForm(const std::string& db_path, std::string_view session_id,
                      std::string_view form_id) {
  const std::string hash = SessionIdHash(session_id);
  return WithDatabase(db_path, [&](Database& db) {
    return RunSql(db,
                  "UPDATE web_forms SET state = ? WHERE session_hash = ? AND "
                  "form_id = ? AND state = ?",
                  {int64_t{StoredForm::kIssued}, hash, form_id,
                   int64_t{StoredForm::kBusy}});
  });
}

}  // namespace kirvs

#include "activities/save_activity.h"

#include <memory>

#include "activities/new_activity.h"
#include "data/activity_pages.h"
#include "kirvs/submitted_form.h"
#include "pages/page_source.h"
#include "pages/posted_fields.h"
#include "platform/escape.h"
#include "platform/text_forms.h"

namespace kirvs {

namespace {

// The number after the highest activity number of the request, read inside
// the caller's transaction.
Status NextFreeActivityNumber(const std::shared_ptr<Database>& db,
                              int32_t request_no, int32_t* act_no) {
  std::unique_ptr<RecordSource> rs;
  Status s = RecordSource::Open(
      db,
      "SELECT MAX(ActNo) FROM Request_Activities WHERE RequestNo=" +
          FormatInteger(request_no),
      OpenMode::kRead, &rs);
  Variant highest;
  if (s.ok()) s = rs->Get(0, &highest);
  if (!s.ok()) return s;
  *act_no = highest.IsNumber() ? RoundToInt32(highest.number()) + 1 : 1;
  return Status();
}

std::string ActivityQuery(const ActivityKey& key) {
  return "SELECT * FROM [Request_Activities] WHERE RequestNo=" +
         FormatInteger(key.request_no) +
         " AND ActNo=" + FormatInteger(key.act_no);
}

// Whether the request is outstanding or completed; an activity of a request
// that exists in neither table would belong to nothing.
Status RequestExists(const std::shared_ptr<Database>& db, int32_t request_no,
                     bool* exists) {
  const std::string number = FormatInteger(request_no);
  std::unique_ptr<RecordSource> rs;
  Status s = RecordSource::Open(
      db,
      "SELECT RequestNo FROM Current_Requests WHERE RequestNo=" + number +
          " UNION ALL SELECT RequestNo FROM Completed_Requests WHERE "
          "RequestNo=" +
          number + " LIMIT 1",
      OpenMode::kRead, &rs);
  if (s.ok()) *exists = !rs->eof();
  return s;
}

}  // namespace

bool SaveActivity(SessionState* session, const Variant& form_value) {
  std::string db_path;
  const SubmittedForm* form =
      FormAndDatabasePath(session, form_value, &db_path);
  if (form == nullptr) return false;
  session->error_text.clear();
  // Both numbers read as a request save reads its number: rounded to an
  // integer, 0 when missing or not a number; only integers reach the query.
  const std::string posted_request = form->Get("RequestNo");
  const int32_t request_no = PostedNumber(posted_request);
  const int32_t act_no = PostedNumber(form->Get("ActNo"));
  const std::string user_id = form->Get("KIRVSCurrentUser");
  if (!RequireLoginEntry(session, db_path, user_id,
                         "update current activity")) {
    return false;
  }

  // One write transaction: the look for the row and its store, so that two
  // people adding an activity at once cannot both take one number.
  std::shared_ptr<Database> db;
  std::unique_ptr<RecordSource> rs;
  Status s = Database::Open(db_path, &db);
  if (s.ok()) s = db->Begin();
  bool request_exists = false;
  if (s.ok()) s = RequestExists(db, request_no, &request_exists);
  // A new-activity page saved before updates the activity it stored then.
  const std::string page_id = form->Get(kActivityPageField);
  const bool has_page_id = IsActivityPageId(page_id);
  bool saved_before = false;
  ActivityKey key{request_no, act_no};
  if (s.ok() && has_page_id) {
    s = FindActivityPage(db, page_id, &saved_before, &key);
  }
  std::string query = ActivityQuery(key);
  if (s.ok()) s = RecordSource::Open(db, query, OpenMode::kUpdate, &rs);
  if (s.ok() && saved_before && rs->RecordCount() == 0) {
    // Its activity is gone: the save stores the page as a new one.
    saved_before = false;
    key = ActivityKey{request_no, act_no};
    query = ActivityQuery(key);
    rs.reset();
    s = RecordSource::Open(db, query, OpenMode::kUpdate, &rs);
  }
  std::string trace = EscapeHtml(query);
  if (!s.ok()) {
    session->error_text =
        ErrorMessage(OpenTableTask("Request_Activities", db_path), s);
    return false;
  }
  if (!request_exists) {
    session->error_text =
        "Unable to locate request: " + EscapeHtml(posted_request) +
        " in outstanding or completed requests tables.";
    return false;
  }
  const bool exists = rs->RecordCount() != 0;
  // A new activity's number is the one its page proposed; when someone
  // else's new activity took it meanwhile, this one follows it.
  const bool proposed_number =
      !saved_before && !form->Get(kNewActivityMarker).empty();
  const bool taken = exists && proposed_number;
  Status fields;
  if (exists && !taken) {
    fields = rs->MoveFirst();
  } else {
    fields = rs->AddNew();
    trace += "<br>AddNew<br>";
  }
  PostedFieldRules rules;
  rules.trim_leading_blanks = false;
  rules.skip_request_no = false;
  Status written = WritePostedFields(*form, *rs, rules, &trace, nullptr);
  if (fields.ok()) fields = written;
  if (fields.ok() && taken) {
    fields = NextFreeActivityNumber(db, request_no, &key.act_no);
    if (fields.ok()) fields = rs->Set("ActNo", Variant::Integer(key.act_no));
  }
  if (fields.ok() && saved_before) {
    // The page still posts the numbers it proposed; the activity keeps the
    // ones it was stored under.
    fields = rs->Set("RequestNo", Variant::Integer(key.request_no));
    if (fields.ok()) fields = rs->Set("ActNo", Variant::Integer(key.act_no));
  }
  if (!trace.empty() && trace.back() == ',') trace.pop_back();
  if (!fields.ok()) {
    session->error_text = ErrorMessage("update fields for the current activity",
                                       fields, Wording::kWhilst);
    return false;
  }

  s = rs->Update();
  trace += "<br>CurrentRS.Update command completed.<br>";
  if (s.ok()) rs->Close();
  if (s.ok() && has_page_id && !saved_before) {
    s = RememberActivityPage(db.get(), page_id, key);
  }
  if (s.ok()) s = db->Commit();
  if (!s.ok()) {
    session->error_text =
        ErrorMessage("save the current activity", s, Wording::kWhilst);
    return false;
  }
  session->error_text = std::move(trace);
  return true;
}

}  // namespace kirvs

#include "requests/save_request.h"

#include <memory>

#include "data/audit_trail.h"
#include "data/request_numbers.h"
#include "kirvs/submitted_form.h"
#include "pages/page_source.h"
#include "pages/posted_fields.h"
#include "platform/clock.h"
#include "platform/escape.h"
#include "platform/text_forms.h"

namespace kirvs {

namespace {

// The audit entry a save of a stored request makes; -1 for none.
int AuditEventFor(const std::string& command) {
  if (command == "SAVE REQUEST" || command == "SAVE CLOSE DETAILS") {
    return kAuditUpdated;
  }
  if (command == "SAVE ALLOCATION") return kAuditAllocated;
  if (command == "SAVE SCHEDULE") return kAuditScheduled;
  return -1;
}

}  // namespace

std::string NotOutstandingMessage(const std::string& posted_number) {
  return "Unable to locate request: " + EscapeHtml(posted_number) +
         " in outstanding requests table.";
}

bool SaveRequest(SessionState* session, const Variant& form,
                 const std::string& command) {
  return SaveRequestRow(session, form, command, MissingRequest::kRegisterNew);
}

bool SaveRequestRow(SessionState* session, const Variant& form_value,
                    const std::string& command, MissingRequest missing) {
  std::string db_path;
  const SubmittedForm* form =
      FormAndDatabasePath(session, form_value, &db_path);
  if (form == nullptr) return false;
  session->error_text.clear();
  const std::string posted_number = form->Get("RequestNo");
  const int32_t request_no = PostedNumber(posted_number);
  const std::string user_id = form->Get("KIRVSCurrentUser");
  if (!RequireLoginEntry(session, db_path, user_id, "update current request")) {
    return false;
  }

  const std::string query =
      "SELECT * FROM [Current_Requests] WHERE RequestNo=" +
      FormatInteger(request_no);
  std::string trace = "strQuery: " + EscapeHtml(query) + "<br>";
  // One write transaction: the row, its number and its audit entry are
  // stored together or not at all.
  std::shared_ptr<Database> db;
  std::unique_ptr<RecordSource> rs;
  if (!OpenTableForWrite(session, db_path, "Current_Requests", query, &db,
                         &rs)) {
    return false;
  }
  const bool is_new = rs->RecordCount() == 0;
  // Only the new-request page's number 0 registers a request. Any other
  // number names a request that was outstanding when its page was made; if
  // someone closed it meanwhile, registering the posted fields as a new
  // request would make a stray copy of it.
  if (is_new && (missing == MissingRequest::kFail || request_no != 0)) {
    session->error_text = NotOutstandingMessage(posted_number);
    return false;
  }
  Status fields;
  if (is_new) {
    fields = rs->AddNew();
    if (fields.ok() && rs->field_count() > 1) {
      fields = rs->Set(1, Variant::Date(CurrentMoment()));
    }
    trace += "<br>AddNew<br>";
  } else {
    fields = rs->MoveFirst();
  }
  std::string change_list;
  PostedFieldRules rules;
  rules.trim_leading_blanks = true;
  rules.skip_request_no = true;
  Status written = WritePostedFields(*form, *rs, rules, &trace, &change_list);
  if (fields.ok()) fields = written;
  if (!trace.empty() && trace.back() == ',') trace.pop_back();
  if (!fields.ok()) {
    session->error_text = ErrorMessageWithDetails(
        "update fields for the current request", trace, Wording::kWhilst);
    return false;
  }

  Status s;
  if (is_new) {
    int32_t number = 0;
    s = NextRequestNumber(db, &number);
    if (s.ok()) s = rs->Set(0, Variant::Integer(number));
  }
  if (s.ok()) s = rs->Update();
  if (s.ok()) {
    int event = is_new ? kAuditLogged : AuditEventFor(command);
    if (event >= 0) {
      // The audit trail records the save; an entry that cannot be written
      // is missing from it but does not undo the save.
      (void)AddAuditEntry(event, *rs, user_id,
                          event == kAuditUpdated ? change_list : "");
    }
    rs->Close();
    s = db->Commit();
  }
  if (!s.ok()) {
    session->error_text =
        ErrorMessage("save the current request", s, Wording::kWhilst);
    return false;
  }
  session->error_text = trace;
  return true;
}

}  // namespace kirvs

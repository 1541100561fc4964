#include "requests/close_request.h"

#include <memory>

#include "data/settings.h"
#include "data/time_accounting.h"
#include "kirvs/submitted_form.h"
#include "pages/page_source.h"
#include "pages/posted_fields.h"
#include "platform/ascii.h"
#include "platform/record_source.h"
#include "platform/text_forms.h"
#include "requests/save_request.h"

namespace kirvs {

namespace {

// An option's value as a Boolean: Booleans as they are, numbers when not 0,
// "True"/"False" and numeric texts by their meaning; anything else is false.
bool OptionIsSet(const Variant& value) {
  switch (value.type()) {
    case Variant::Type::kBoolean:
      return value.boolean();
    case Variant::Type::kInteger:
    case Variant::Type::kDouble:
      return value.number() != 0;
    case Variant::Type::kText: {
      std::string_view text = TrimBlanks(value.text());
      if (EqualsIgnoringCase(text, "True")) return true;
      std::optional<double> number = ParseNumber(text);
      return number && *number != 0;
    }
    default:
      return false;
  }
}

std::string CompletedFailure(const Status& s) {
  return ErrorMessage("update fields in the completed requests table", s,
                      Wording::kWhilst);
}

}  // namespace

bool SurveyRequired(const std::string& db_path) {
  std::unique_ptr<RecordSource> rs;
  Variant value;
  // An option that cannot be read is not set: closing needs no survey.
  if (!RecordSource::Open(db_path,
                          "SELECT * FROM Options WHERE "
                          "Option='UserSurveyRequired'",
                          OpenMode::kRead, &rs)
           .ok() ||
      rs->eof() || !rs->Get(1, &value).ok()) {
    return false;
  }
  return OptionIsSet(value);
}

bool SurveyCompleted(const std::string& db_path, int32_t request_no) {
  std::unique_ptr<RecordSource> rs;
  return RecordSource::Open(db_path,
                            "SELECT * FROM Survey WHERE RequestNo=" +
                                FormatInteger(request_no),
                            OpenMode::kRead, &rs)
             .ok() &&
         !rs->eof();
}

bool CloseRequestNow(SessionState* session, const Variant& form_value) {
  const SubmittedForm* form = form_value.form();
  const std::string posted_number = form ? form->Get("RequestNo") : "";
  const int32_t request_no = PostedNumber(posted_number);
  const std::string db_path = ReadDatabasePath(session->settings_path);
  if (SurveyRequired(db_path) && !SurveyCompleted(db_path, request_no)) {
    session->error_text =
        "Unable to close the current request.<br>The user satisfaction "
        "survey has not been completed by the help desk staff.";
    return false;
  }
  // The close details are stored first, on their own: they stay stored even
  // when the move below fails. The save also reports a missing form or
  // DBPath.
  if (!SaveRequestRow(session, form_value, "", MissingRequest::kFail)) {
    return false;
  }
  if (!RequireLoginEntry(session, db_path, form->Get("KIRVSCurrentUser"),
                         "close current request")) {
    return false;
  }

  // The move is one write transaction, so that two closes of one request at
  // once, or a failure half-way, never leave it in both tables or in none.
  std::shared_ptr<Database> db;
  std::unique_ptr<RecordSource> outstanding, completed;
  if (!OpenTableForWrite(session, db_path, "Current_Requests",
                         "SELECT * FROM [Current_Requests] WHERE RequestNo=" +
                             FormatInteger(request_no),
                         &db, &outstanding)) {
    return false;
  }
  if (!outstanding->MoveFirst().ok() || outstanding->eof()) {
    session->error_text = NotOutstandingMessage(posted_number);
    return false;
  }
  Status s = RecordSource::Open(db, "SELECT * FROM [Completed_Requests]",
                                OpenMode::kUpdate, &completed);
  if (s.ok()) s = completed->AddNew();
  if (!s.ok()) {
    session->error_text = CompletedFailure(s);
    return false;
  }
  // Column by column, by position: the two tables share their column order.
  // A column the completed table lacks or cannot hold stays empty there, as
  // does Status in a completed table without it: the move itself must not
  // fail for a column the administrator chose not to keep.
  for (int k = 0; k < outstanding->field_count(); ++k) {
    Variant value;
    if (outstanding->Get(k, &value).ok()) (void)completed->Set(k, value);
  }
  (void)completed->Set("Status", Variant("Closed"));
  // A cost summed over only some activities would pass for the whole cost:
  // a failed roll-up fails the close and the transaction rolls back.
  s = CalculateRequestTimes(session->settings_path, *completed);
  if (s.ok()) s = completed->Update();
  if (s.ok()) s = outstanding->Delete();
  completed->Close();
  outstanding->Close();
  if (s.ok()) s = db->Commit();
  if (!s.ok()) {
    session->error_text = CompletedFailure(s);
    return false;
  }
  return true;
}

}  // namespace kirvs

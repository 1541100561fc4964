#include "requests/new_request.h"

#include "data/lookups.h"
#include "kirvs/submitted_form.h"
#include "pages/page_fragments.h"
#include "pages/page_source.h"
#include "platform/clock.h"

namespace kirvs {

namespace {

// Columns of the new row filled from the user's row of Users, by position.
struct UserDefault {
  const char* column;
  int position;
};
constexpr UserDefault kUserDefaults[] = {
    {"Contact", 1},   {"Department", 2}, {"Sub-Department", 3}, {"Location", 4},
    {"Telephone", 5}, {"NetworkId", 6},  {"NotifyUser", 7},
};

}  // namespace

bool RegisterNewRequest(SessionState* session, const Variant& form_value) {
  const SubmittedForm* form = form_value.form();
  const std::string person = form ? form->Get("KIRVSCurrentPerson") : "";
  const std::string& settings = session->settings_path;
  const std::string user_id = LookupValue(settings, "Personnel", person, 4);
  // An update-mode source reads no row: it serves only for its columns and
  // the new row, which is never stored.
  constexpr PageSource kNewRequestSource = {
      .column_list_key = "DisplayRequest",
      .task = "access the Current_Requests table",
      .mode = OpenMode::kUpdate};
  if (!OpenPageSource(session, kNewRequestSource, " FROM Current_Requests")) {
    return false;
  }
  // The defaults only fill the form; a column the page does not show cannot
  // take one and is simply left out.
  RecordSource& rs = *session->current_rs;
  (void)rs.AddNew();
  (void)rs.Set("Requested", Variant::Date(CurrentMoment()));
  if (!user_id.empty()) {
    (void)rs.Set("UserId", Variant(user_id));
    for (const UserDefault& entry : kUserDefaults) {
      (void)rs.Set(entry.column, Variant(LookupValue(settings, "Users", user_id,
                                                     entry.position)));
    }
  }

  std::string page;
  AppendBanner(&page, "Register New Service Request");
  page += "<input name=requestno value=0 type=hidden>";
  page += kIndent;
  AppendButtons(&page, {"Save Request", "Show List", "Logout"});
  page += "<br>";
  return FinishRecordPage(session, kNewRequestSource, std::move(page));
}

}  // namespace kirvs

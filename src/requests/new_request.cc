#include "requests/new_request.h"

#include "data/lookups.h"
#include "data/settings.h"
#include "kirvs/submitted_form.h"
#include "pages/request_form.h"
#include "platform/clock.h"
#include "platform/escape.h"

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

std::string AccessFailure(const Status& s) {
  return "An error occurred while trying to access the Current_Requests "
         "table (" +
         EscapeHtml(s.message()) + ").";
}

}  // namespace

bool RegisterNewRequest(SessionState* session, const Variant& form_value) {
  session->error_text.clear();
  session->current_rs.reset();
  const SubmittedForm* form = form_value.form();
  const std::string person = form ? form->Get("KIRVSCurrentPerson") : "";
  const std::string& settings = session->settings_path;
  const std::string user_id = LookupValue(settings, "Personnel", person, 4);
  std::string db_path = ReadSetting(settings, "DBPath");
  std::string column_list = ReadColumnList(settings, "DisplayRequest");

  // An update-mode source reads no row: it serves only for its columns and
  // the new row, which is never stored.
  Status s = RecordSource::Open(
      db_path, "SELECT " + column_list + " FROM Current_Requests",
      OpenMode::kUpdate, &session->current_rs);
  if (!s.ok()) {
    session->error_text = AccessFailure(s);
    return false;
  }
  RecordSource& rs = *session->current_rs;
  rs.AddNew();
  rs.Set("Requested", Variant::Date(CurrentMoment()));
  if (!user_id.empty()) {
    rs.Set("UserId", Variant(user_id));
    for (const UserDefault& entry : kUserDefaults) {
      rs.Set(entry.column,
             Variant(LookupValue(settings, "Users", user_id, entry.position)));
    }
  }

  std::string page =
      "<p><img src='kvlogo.gif' width=80 height=69><font face=arial "
      "size=4><strong>Register New Service Request</strong></font></p>";
  page += "<input name=requestno value=0 type=hidden>";
  page += "<blockquote><blockquote>";
  page +=
      "<input name=KIRVSCommand value='Save Request' type=submit><input "
      "name=KIRVSCommand value='Show List' type=submit><input "
      "name=KIRVSCommand value='Logout' type=submit><br>";
  page += "<br>";
  s = RenderRequestForm(session, &page);
  session->current_rs.reset();
  if (!s.ok()) {
    session->error_text = AccessFailure(s);
    return false;
  }
  session->page_text = std::move(page);
  return true;
}

}  // namespace kirvs

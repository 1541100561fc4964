#include "requests/request_display.h"

#include "data/settings.h"
#include "pages/page_fragments.h"
#include "pages/request_form.h"
#include "platform/escape.h"
#include "platform/text_forms.h"

namespace kirvs {

namespace {

constexpr RequestPageKind kRequestDisplay = {
    "DisplayRequest", "Service Request ",
    "<input name=KIRVSCommand value='Save Request' type=submit><input "
    "name=KIRVSCommand value='Allocate' type=submit><input name=KIRVSCommand "
    "value='Schedule' type=submit><input name=KIRVSCommand value='Close' "
    "type=submit><input name=KIRVSCommand value='Activities' "
    "type=submit><input name=KIRVSCommand value='Show List' type=submit><input "
    "name=KIRVSCommand value='Logout' type=submit><br>"};

std::string RetrievalFailure(const Status& s) {
  return "An error occurred while trying to retrieve a request from the "
         "Current_Requests table (" +
         EscapeHtml(s.message()) + ").";
}

}  // namespace

bool ShowRequest(SessionState* session, const Variant& request_no,
                 const Variant& person) {
  return ShowRequestPage(session, request_no, person, kRequestDisplay);
}

bool ShowRequestPage(SessionState* session, const Variant& request_no,
                     const Variant& person_value, const RequestPageKind& kind,
                     void (*fill_defaults)(SessionState*)) {
  session->error_text.clear();
  session->current_rs.reset();
  const std::string number = request_no.ToText();
  std::string db_path = ReadSetting(session->settings_path, "DBPath");
  std::string column_list =
      ReadColumnList(session->settings_path, kind.column_list_key);

  Status s;
  if (!ParseInteger(number)) {
    s = Status::InvalidArgument("not a request number: " + number);
  } else {
    std::string query =
        "SELECT " + column_list + " FROM Current_Requests Where Personnel='";
    AppendSqlText(&query, person_value.ToText());
    query += "' And RequestNo=" + number;
    s = RecordSource::Open(db_path, query, OpenMode::kRead,
                           &session->current_rs);
  }
  if (!s.ok()) {
    session->error_text = RetrievalFailure(s);
    return false;
  }
  if (fill_defaults != nullptr) fill_defaults(session);

  std::string page;
  AppendBanner(&page, kind.title_prefix, number);
  page += "<input name=requestno value=";
  AppendHtmlUnquoted(&page, number);
  page += " type=hidden>";
  page += kIndent;
  page += kind.button_row;
  page += "<br>";
  s = RenderRequestForm(session, &page);
  session->current_rs.reset();
  if (!s.ok()) {
    session->error_text = RetrievalFailure(s);
    return false;
  }
  session->page_text = std::move(page);
  return true;
}

}  // namespace kirvs

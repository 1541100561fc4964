#include "activities/activity_list.h"

#include "data/settings.h"
#include "pages/list_table.h"
#include "pages/page_fragments.h"
#include "platform/escape.h"
#include "platform/text_forms.h"

namespace kirvs {

namespace {

std::string RetrievalFailure(const Status& s) {
  return "An error occurred while trying to retrieve activities from "
         "Request_Activities table (" +
         EscapeHtml(s.message()) + ").";
}

}  // namespace

bool ShowActivityList(SessionState* session, const Variant& request_no) {
  session->page_text.clear();
  session->error_text.clear();
  session->current_rs.reset();
  const std::string number = request_no.ToText();
  std::string db_path = ReadSetting(session->settings_path, "DBPath");
  std::string column_list =
      ReadColumnList(session->settings_path, "ActivityList");

  Status s;
  if (!ParseInteger(number)) {
    s = Status::InvalidArgument("not a request number: " + number);
  } else {
    // ActNo breaks ties of Date/Time, so that the log lists activities in
    // the order in which adding an activity numbers them.
    std::string query = "SELECT " + column_list +
                        " FROM Request_Activities WHERE RequestNo=" + number +
                        " ORDER BY [DATE/TIME], ActNo";
    s = RecordSource::Open(db_path, query, OpenMode::kRead,
                           &session->current_rs);
  }
  if (!s.ok()) {
    session->error_text = RetrievalFailure(s);
    return false;
  }

  std::string page;
  AppendBanner(&page, "Activity Log for Service Request: ", number);
  page +=
      "<blockquote><blockquote><font face=arial><input type=submit "
      "name=KIRVSCommand value='Add Activity'><input type=submit "
      "name=KIRVSCommand value='Show Request'><input type=submit "
      "name=KIRVSCommand value='Show List'><input type=submit "
      "name=KIRVSCommand value='Logout'><br>";
  page += "<br>";
  page += "<input type=hidden name='RequestNo' value='";
  AppendHtml(&page, number);
  page += "'>";
  ListTableStyle style;
  style.key_column = "ActNo";
  style.caption_from_key_column = true;
  style.button_start = "<td><input name=KIRVSCommand value='#";
  style.button_end = "' type=submit></td>";
  int32_t count = AppendListTable(&page, *session->current_rs, style);
  if (!session->current_rs->status().ok()) {
    session->error_text = RetrievalFailure(session->current_rs->status());
    session->current_rs.reset();
    return false;
  }
  AppendCountLine(&page, count, " activities in current list.</i>");
  session->current_rs.reset();
  session->page_text = std::move(page);
  return true;
}

}  // namespace kirvs

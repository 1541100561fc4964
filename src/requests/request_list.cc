#include "requests/request_list.h"

#include "data/settings.h"
#include "pages/list_table.h"
#include "pages/page_fragments.h"
#include "platform/escape.h"

namespace kirvs {

namespace {

// A sort column is a user's choice: only a plain name may reach the query.
Status ComposeQuery(const std::string& column_list, const std::string& person,
                    const std::string& sort_column, std::string* query) {
  *query = "SELECT " + column_list + " FROM Current_Requests Where Personnel='";
  AppendSqlText(query, person);
  if (sort_column.empty()) {
    *query += "' ORDER BY 1";
    return Status();
  }
  if (!IsPlainName(sort_column)) {
    return Status::NotFound("unknown column: " + sort_column);
  }
  *query += "' ORDER BY [" + sort_column + "], 1";
  return Status();
}

std::string RetrievalFailure(const Status& s) {
  return "An error occurred while trying to retrieve requests from "
         "Current_Requests table (" +
         EscapeHtml(s.message()) + ").";
}

}  // namespace

bool ShowRequestList(SessionState* session, const Variant& person_value,
                     const Variant& sort_value) {
  session->page_text.clear();
  session->error_text.clear();
  session->current_rs.reset();
  const std::string person = person_value.ToText();
  const std::string sort_column = sort_value.ToText();
  std::string db_path = ReadSetting(session->settings_path, "DBPath");
  std::string column_list =
      ReadColumnList(session->settings_path, "RequestList");

  std::string query;
  Status s = ComposeQuery(column_list, person, sort_column, &query);
  if (s.ok()) {
    s = RecordSource::Open(db_path, query, OpenMode::kRead,
                           &session->current_rs);
  }
  if (!s.ok()) {
    session->error_text = RetrievalFailure(s);
    return false;
  }
  RecordSource& rs = *session->current_rs;

  std::string page;
  AppendBanner(&page, "Outstanding Service Issues for: ", person);
  page += "<p><blockquote><blockquote><font face=arial size=2><b>";
  page += "Sort Requests By: <select name='sortrequests' size='1'>";
  for (int i = 0; i < rs.field_count(); ++i) {
    const std::string& name = rs.field(i).name;
    bool selected = sort_column.empty() ? i == 0 : name == sort_column;
    page += selected ? "<option selected value='" : "<option value='";
    AppendHtml(&page, name);
    page += "'>";
    AppendHtml(&page, name);
    page += "</option>";
  }
  page +=
      "</select><input name=KIRVSCommand value='Sort List Now' "
      "type=submit></p>";
  ListTableStyle style;
  style.key_column = "RequestNo";
  int32_t count = AppendListTable(&page, rs, style);
  if (!rs.status().ok()) {
    session->error_text = RetrievalFailure(rs.status());
    session->current_rs.reset();
    return false;
  }
  AppendCountLine(&page, count, " allocated requests in current list.</i><br>");
  page += "<br>";
  page +=
      "<input name=KIRVSCommand value='Register New Request' "
      "type=submit><input name=KIRVSCommand value='Search Solutions' "
      "type=submit><input name=KIRVSCommand value='Search Inventory' "
      "type=submit><input name=KIRVSCommand value='Logout' type=submit>";
  session->current_rs.reset();
  session->page_text = std::move(page);
  return true;
}

}  // namespace kirvs

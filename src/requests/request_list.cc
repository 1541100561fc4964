#include "requests/request_list.h"

#include "pages/list_table.h"
#include "pages/page_fragments.h"
#include "pages/page_source.h"
#include "platform/escape.h"

namespace kirvs {

namespace {

constexpr PageSource kRequestListSource = {
    .column_list_key = "RequestList",
    .task = "retrieve requests from Current_Requests table",
    .clears_page = true};

// The query after its column list. A sort column is a user's choice: only a
// plain name may reach the query.
Status ComposeQueryTail(const std::string& person,
                        const std::string& sort_column, std::string* tail) {
  *tail = " FROM Current_Requests Where Personnel='";
  AppendSqlText(tail, person);
  if (sort_column.empty()) {
    *tail += "' ORDER BY 1";
    return Status();
  }
  if (!IsPlainName(sort_column)) {
    return Status::NotFound("unknown column: " + sort_column);
  }
  *tail += "' ORDER BY ";
  AppendSqlName(tail, sort_column);
  *tail += ", 1";
  return Status();
}

}  // namespace

bool ShowRequestList(SessionState* session, const Variant& person_value,
                     const Variant& sort_value) {
  const std::string person = person_value.ToText();
  const std::string sort_column = sort_value.ToText();
  std::string tail;
  Status composed = ComposeQueryTail(person, sort_column, &tail);
  if (!OpenPageSource(session, kRequestListSource, composed, tail)) {
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
  page += "</select>";
  AppendButtons(&page, {"Sort List Now"});
  page += "</p>";
  ListTableStyle style;
  style.key_column = "RequestNo";
  int32_t count = AppendListTable(&page, rs, style);
  if (!rs.status().ok())
    return FailPage(session, kRequestListSource, rs.status());
  AppendCountLine(&page, count, " allocated requests in current list.</i><br>");
  page += "<br>";
  AppendButtons(&page, {"Register New Request", "Search Solutions",
                        "Search Inventory", "Logout"});
  FinishListPage(session, std::move(page));
  return true;
}

}  // namespace kirvs

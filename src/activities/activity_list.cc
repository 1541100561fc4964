#include "activities/activity_list.h"

#include "pages/list_table.h"
#include "pages/page_fragments.h"
#include "pages/page_source.h"
#include "platform/escape.h"
#include "platform/text_forms.h"

namespace kirvs {

bool ShowActivityList(SessionState* session, const Variant& request_no) {
  const std::string number = request_no.ToText();
  Status composed;
  if (!ParseInteger(number)) {
    composed = Status::InvalidArgument("not a request number: " + number);
  }
  // ActNo breaks ties of Date/Time, so that the log lists activities in the
  // order in which adding an activity numbers them.
  constexpr PageSource kActivityListSource = {
      .column_list_key = "ActivityList",
      .task = "retrieve activities from Request_Activities table",
      .clears_page = true};
  if (!OpenPageSource(session, kActivityListSource, composed,
                      " FROM Request_Activities WHERE RequestNo=" + number +
                          " ORDER BY [DATE/TIME], ActNo")) {
    return false;
  }

  std::string page;
  AppendBanner(&page, "Activity Log for Service Request: ", number);
  page += "<blockquote><blockquote><font face=arial>";
  AppendButtons(&page, {"Add Activity", "Show Request", "Show List", "Logout"},
                ButtonMarkup::kTypeFirst);
  page += "<br>";
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
    return FailPage(session, kActivityListSource,
                    session->current_rs->status());
  }
  AppendCountLine(&page, count, " activities in current list.</i>");
  FinishListPage(session, std::move(page));
  return true;
}

}  // namespace kirvs

#include "requests/request_display.h"

#include "pages/page_fragments.h"
#include "pages/page_source.h"
#include "platform/escape.h"
#include "platform/text_forms.h"

namespace kirvs {

namespace {

constexpr std::string_view kRequestButtons[] = {
    "Save Request", "Allocate",  "Schedule", "Close",
    "Activities",   "Show List", "Logout"};
constexpr RequestPageKind kRequestDisplay = {
    "DisplayRequest", "Service Request ", kRequestButtons};

}  // namespace

bool ShowRequest(SessionState* session, const Variant& request_no,
                 const Variant& person) {
  return ShowRequestPage(session, request_no, person, kRequestDisplay);
}

bool ShowRequestPage(SessionState* session, const Variant& request_no,
                     const Variant& person_value, const RequestPageKind& kind,
                     void (*fill_defaults)(SessionState*)) {
  const std::string number = request_no.ToText();
  Status composed;
  if (!ParseInteger(number)) {
    composed = Status::InvalidArgument("not a request number: " + number);
  }
  std::string tail = " FROM Current_Requests Where Personnel='";
  AppendSqlText(&tail, person_value.ToText());
  tail += "' And RequestNo=" + number;
  const PageSource source = {
      .column_list_key = kind.column_list_key,
      .task = "retrieve a request from the Current_Requests table"};
  if (!OpenPageSource(session, source, composed, tail)) return false;
  if (fill_defaults != nullptr) fill_defaults(session);

  std::string page;
  AppendBanner(&page, kind.title_prefix, number);
  page += "<input name=requestno value=";
  AppendHtmlUnquoted(&page, number);
  page += " type=hidden>";
  page += kIndent;
  AppendButtons(&page, kind.buttons);
  page += "<br>";
  return FinishRecordPage(session, source, std::move(page));
}

}  // namespace kirvs

#include "activities/activity_display.h"

#include "kirvs/submitted_form.h"
#include "pages/page_fragments.h"
#include "pages/page_source.h"
#include "pages/posted_fields.h"
#include "platform/escape.h"
#include "platform/text_forms.h"

namespace kirvs {

bool ShowActivity(SessionState* session, const Variant& form_value,
                  const Variant& act_no) {
  const SubmittedForm* form = form_value.form();
  const int32_t request_no = form ? PostedNumber(form->Get("RequestNo")) : 0;
  const std::string number = FormatInteger(request_no);
  const std::string activity = act_no.ToText();
  Status composed;
  if (!ParseInteger(activity)) {
    composed = Status::InvalidArgument("not an activity number: " + activity);
  }
  constexpr PageSource kActivitySource = {
      .column_list_key = "DisplayActivity",
      .task = "retrieve an activity from the Request_Activities table"};
  if (!OpenPageSource(session, kActivitySource, composed,
                      " FROM [Request_Activities] Where RequestNo=" + number +
                          " And ActNo=" + activity)) {
    return false;
  }

  std::string page;
  AppendBanner(&page, "Activity Details for Service Request ", number);
  page += "<input name=requestno value=" + number + " type=hidden>";
  page += "<input name=actno value=";
  AppendHtmlUnquoted(&page, activity);
  page += " type=hidden>";
  page += kIndent;
  AppendButtons(&page, kActivityFormButtons);
  page += "<br>";
  return FinishRecordPage(session, kActivitySource, std::move(page));
}

}  // namespace kirvs

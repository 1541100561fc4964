#include "activities/activity_display.h"

#include "data/settings.h"
#include "kirvs/submitted_form.h"
#include "pages/page_fragments.h"
#include "pages/posted_fields.h"
#include "pages/request_form.h"
#include "platform/escape.h"
#include "platform/text_forms.h"

namespace kirvs {

namespace {

std::string RetrievalFailure(const Status& s) {
  return "An error occurred while trying to retrieve an activity from the "
         "Request_Activities table (" +
         EscapeHtml(s.message()) + ").";
}

}  // namespace

bool ShowActivity(SessionState* session, const Variant& form_value,
                  const Variant& act_no) {
  session->error_text.clear();
  session->current_rs.reset();
  const SubmittedForm* form = form_value.form();
  const int32_t request_no = form ? PostedNumber(form->Get("RequestNo")) : 0;
  const std::string number = FormatInteger(request_no);
  const std::string activity = act_no.ToText();
  std::string db_path = ReadSetting(session->settings_path, "DBPath");
  std::string column_list =
      ReadColumnList(session->settings_path, "DisplayActivity");

  Status s;
  if (!ParseInteger(activity)) {
    s = Status::InvalidArgument("not an activity number: " + activity);
  } else {
    std::string query = "SELECT " + column_list +
                        " FROM [Request_Activities] Where RequestNo=" + number +
                        " And ActNo=" + activity;
    s = RecordSource::Open(db_path, query, OpenMode::kRead,
                           &session->current_rs);
  }
  if (!s.ok()) {
    session->error_text = RetrievalFailure(s);
    return false;
  }

  std::string page;
  AppendBanner(&page, "Activity Details for Service Request ", number);
  page += "<input name=requestno value=" + number + " type=hidden>";
  page += "<input name=actno value=";
  AppendHtmlUnquoted(&page, activity);
  page += " type=hidden>";
  page += kIndent;
  page += kActivityFormButtons;
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

#include "activities/new_activity.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "activities/activity_display.h"
#include "data/activity_pages.h"
#include "data/lookups.h"
#include "pages/page_fragments.h"
#include "pages/page_source.h"
#include "platform/clock.h"
#include "platform/escape.h"
#include "platform/text_forms.h"

namespace kirvs {

namespace {

// Numbers the activities 1, 2, 3 ... in the order of the query. An activity
// that has its number already is not written again, so that showing the
// page a second time writes nothing. Returns the number of activities, and
// in `moves` the (old, new) number of each activity that was renumbered.
// A row that cannot be numbered keeps its number and still counts.
int32_t Renumber(RecordSource& rs,
                 std::vector<std::pair<int32_t, int32_t>>* moves) {
  int32_t counter = 0;
  Status walk = rs.MoveFirst();
  for (; walk.ok() && !rs.eof() && !rs.bof(); walk = rs.MoveNext()) {
    ++counter;
    Variant current;
    const bool numbered = rs.Get("ActNo", &current).ok() && current.IsNumber();
    if (numbered && current.number() == counter) continue;
    if (rs.Set("ActNo", Variant::Integer(counter)).ok() && rs.Update().ok() &&
        numbered) {
      moves->emplace_back(RoundToInt32(current.number()), counter);
    }
  }
  return counter;
}

}  // namespace

bool NewActivity(SessionState* session, const Variant& request_no,
                 const Variant& person_value) {
  const std::string number = request_no.ToText();
  const std::string person = person_value.ToText();
  std::optional<int32_t> parsed = ParseInteger(number);
  Status composed;
  if (!parsed) {
    composed = Status::InvalidArgument("not a request number: " + number);
  }
  // The renumbering is one transaction: a save of another activity of the
  // request waits for it rather than meeting half-renumbered rows. ActNo
  // breaks ties of Date/Time, so that repeated calls number activities of
  // the same moment alike.
  constexpr PageSource kNewActivitySource = {
      .column_list_key = "DisplayActivity",
      .task = "retrieve an activity from the Request_Activities table"};
  std::shared_ptr<Database> db;
  if (!OpenPageSource(session, kNewActivitySource, composed,
                      " FROM [Request_Activities] Where RequestNo=" + number +
                          " ORDER BY [Date/Time], ActNo",
                      nullptr, &db)) {
    return false;
  }
  RecordSource& rs = *session->current_rs;
  std::vector<std::pair<int32_t, int32_t>> moves;
  const int32_t act_no = Renumber(rs, &moves) + 1;
  if (!rs.status().ok()) {
    return FailPage(session, kNewActivitySource, rs.status());
  }
  // Pages saved before keep finding their activities under the new numbers.
  // When they cannot follow, the renumbering is undone with them, so that
  // the pages and the activities never disagree; the page is shown either
  // way.
  Status s = RenumberActivityPages(db.get(), *parsed, moves);
  if (s.ok()) s = db->Commit();
  if (!s.ok()) db->Rollback();

  // The new row is only the content of the form; "SAVE ACTIVITY" stores it.
  // A column the page does not show takes no default.
  const std::string work_group =
      LookupValue(session->settings_path, "Personnel", person, 1);
  const Variant now = Variant::Date(CurrentMoment());
  (void)rs.AddNew();
  (void)rs.Set("RequestNo", Variant::Integer(*parsed));
  (void)rs.Set("ActNo", Variant::Integer(act_no));
  (void)rs.Set("Date/Time", now);
  (void)rs.Set("Personnel", person_value);
  (void)rs.Set("WorkGroup", Variant(work_group));

  std::string trace = "Got workgroup: " + EscapeHtml(work_group) +
                      " for person: " + EscapeHtml(person) + "<br>";
  trace += "<br>Calculated activity #" + FormatInteger(act_no);
  Variant date_time;
  if (rs.Get("Date/Time", &date_time).ok()) {
    trace +=
        " Date/Time: " + EscapeHtml(date_time.type() == Variant::Type::kDate
                                        ? FormatGeneralDate(date_time.date())
                                        : date_time.ToText());
  }

  std::string page;
  AppendBanner(&page, "New Activity Details for Service Request ", number);
  page += "<input name=requestno value=";
  AppendHtmlUnquoted(&page, number);
  page += " type=hidden><input name=actno value=" + FormatInteger(act_no) +
          " type=hidden>";
  page += "<input type=hidden name=" + std::string(kNewActivityMarker) +
          " value=1>";
  page += "<input type=hidden name=" + std::string(kActivityPageField) +
          " value=" + NewActivityPageId() + ">";
  page += kIndent;
  AppendButtons(&page, kActivityFormButtons);
  page += "<br>";
  if (!FinishRecordPage(session, kNewActivitySource, std::move(page))) {
    return false;
  }
  // The trace replaces what the form renderer left in ErrorDescription.
  session->error_text = std::move(trace);
  return true;
}

}  // namespace kirvs

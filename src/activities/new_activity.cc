#include "activities/new_activity.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "activities/activity_display.h"
#include "data/activity_pages.h"
#include "data/lookups.h"
#include "data/settings.h"
#include "pages/page_fragments.h"
#include "pages/request_form.h"
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
  for (rs.MoveFirst(); !rs.eof() && !rs.bof(); rs.MoveNext()) {
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

std::string RetrievalFailure(const Status& s) {
  return "An error occurred while trying to retrieve an activity from the "
         "Request_Activities table (" +
         EscapeHtml(s.message()) + ").";
}

}  // namespace

bool NewActivity(SessionState* session, const Variant& request_no,
                 const Variant& person_value) {
  session->error_text.clear();
  session->current_rs.reset();
  const std::string number = request_no.ToText();
  const std::string person = person_value.ToText();
  const std::string& settings = session->settings_path;
  std::string db_path = ReadSetting(settings, "DBPath");
  std::string column_list = ReadColumnList(settings, "DisplayActivity");

  // The renumbering is one transaction: a save of another activity of the
  // request waits for it rather than meeting half-renumbered rows.
  std::optional<int32_t> parsed = ParseInteger(number);
  std::shared_ptr<Database> db;
  Status s;
  if (!parsed) {
    s = Status::InvalidArgument("not a request number: " + number);
  } else {
    s = Database::Open(db_path, &db);
  }
  if (s.ok()) s = db->Begin();
  if (s.ok()) {
    // ActNo breaks ties of Date/Time, so that repeated calls number
    // activities of the same moment alike.
    std::string query = "SELECT " + column_list +
                        " FROM [Request_Activities] Where RequestNo=" + number +
                        " ORDER BY [Date/Time], ActNo";
    s = RecordSource::Open(db, query, OpenMode::kUpdate, &session->current_rs);
  }
  if (!s.ok()) {
    session->error_text = RetrievalFailure(s);
    return false;
  }
  RecordSource& rs = *session->current_rs;
  std::vector<std::pair<int32_t, int32_t>> moves;
  const int32_t act_no = Renumber(rs, &moves) + 1;
  if (!rs.status().ok()) {
    session->error_text = RetrievalFailure(rs.status());
    session->current_rs.reset();
    return false;
  }
  // Pages saved before keep finding their activities under the new numbers.
  RenumberActivityPages(db.get(), *parsed, moves);
  if (!db->Commit().ok()) db->Rollback();

  // The new row is only the content of the form; "SAVE ACTIVITY" stores it.
  const std::string work_group = LookupValue(settings, "Personnel", person, 1);
  const double now = CurrentMoment();
  rs.AddNew();
  rs.Set("RequestNo", Variant::Integer(*parsed));
  rs.Set("ActNo", Variant::Integer(act_no));
  rs.Set("Date/Time", Variant::Date(now));
  rs.Set("Personnel", person_value);
  rs.Set("WorkGroup", Variant(work_group));

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
  page += kActivityFormButtons;
  page += "<br>";
  s = RenderRequestForm(session, &page);
  if (!s.ok()) {
    session->error_text = RetrievalFailure(s);
    session->current_rs.reset();
    return false;
  }
  session->page_text = std::move(page);

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
  session->error_text = std::move(trace);
  session->current_rs.reset();
  return true;
}

}  // namespace kirvs

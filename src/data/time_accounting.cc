#include "data/time_accounting.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>

#include "data/settings.h"
#include "platform/clock.h"
#include "platform/settings_file.h"
#include "platform/text_forms.h"

namespace kirvs {

namespace {

// A time-of-day setting as a fraction of a day, or `fallback`.
double TimeOfDaySetting(const std::string& settings_path, const char* key,
                        double fallback) {
  std::optional<double> time = ParseDate(ReadSetting(settings_path, key));
  if (!time || *time <= 0 || *time >= 1) return fallback;
  return *time;
}

bool IsWeekend(double day) { return DayName(day).front() == 'S'; }

// The trace lines of one computation, written to section "Debug" together
// when it ends: one rewrite of the settings file instead of one per line, with
// the same result (each key holds its last value).
class DebugTrace {
 public:
  explicit DebugTrace(const std::string& settings_path)
      : settings_path_(settings_path) {}
  // The trace is only for the administrator's eyes: a settings file that
  // cannot take it must not stop the close that it describes.
  ~DebugTrace() { (void)WriteIniStrings(settings_path_, "Debug", lines_); }
  void Add(const char* key, std::string value) {
    lines_.emplace_back(key, std::move(value));
  }

 private:
  const std::string& settings_path_;
  std::vector<SettingEntry> lines_;
};

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// Working time is counted in whole seconds, so that sums of times of day
// carry no rounding error and 10:00 to 15:30 is exactly 5.5 hours.
struct SecondsOfDay {
  int64_t start;
  int64_t end;
};

int64_t SecondsOn(const SecondsOfDay& wd, int64_t start_time,
                  int64_t end_time) {
  // One day: the part of [start_time, end_time] inside the working day.
  int64_t from = std::max(start_time, wd.start);
  int64_t to = std::min(end_time, wd.end);
  return to > from ? to - from : 0;
}

}  // namespace

WorkingDay ReadWorkingDay(const std::string& settings_path) {
  WorkingDay day;
  double start = TimeOfDaySetting(settings_path, "StartOfDay", day.start);
  double end = TimeOfDaySetting(settings_path, "EndofDay", day.end);
  // A working day that ends before it starts would count negative hours.
  if (end > start) {
    day.start = start;
    day.end = end;
  }
  std::string weekends = ReadSetting(settings_path, "IncludeWeekends");
  day.include_weekends = weekends == "True" || weekends == "Yes" ||
                         weekends == "-1" || weekends == "1";
  return day;
}

double WorkingHours(const WorkingDay& wd, double start, double end) {
  const SecondsOfDay day{MomentSeconds(wd.start), MomentSeconds(wd.end)};
  const int64_t start_seconds = MomentSeconds(start);
  const int64_t end_seconds = MomentSeconds(end);
  const int64_t start_day = FloorDiv(start_seconds, kSecondsPerDay);
  const int64_t end_day = FloorDiv(end_seconds, kSecondsPerDay);
  const int64_t start_time = start_seconds - start_day * kSecondsPerDay;
  const int64_t end_time = end_seconds - end_day * kSecondsPerDay;
  auto is_working_day = [&](int64_t d) {
    return wd.include_weekends || !IsWeekend(static_cast<double>(d));
  };
  int64_t total = 0;
  if (start_day == end_day) {
    if (!is_working_day(start_day)) return 0;
    total = SecondsOn(day, start_time, end_time);
  } else {
    for (int64_t d = start_day; d <= end_day; ++d) {
      if (!is_working_day(d)) continue;
      if (d == start_day) {
        total += SecondsOn(day, start_time, kSecondsPerDay);
      } else if (d == end_day) {
        total += SecondsOn(day, 0, end_time);
      } else {
        total += day.end - day.start;
      }
    }
  }
  return static_cast<double>(total) / 3600;
}

double WorkingHours(const std::string& settings_path, double start,
                    double end) {
  return WorkingHours(ReadWorkingDay(settings_path), start, end);
}

namespace {

// Columns that cannot be read count as empty, and a figure whose column the
// table lacks is not kept: the close must not fail for a column the
// administrator left out of the table.
void SetRequestTimes(const std::string& settings_path, RecordSource& row,
                     DebugTrace& trace) {
  trace.Add("SetRequestTimes", "Started");
  const double now = CurrentMoment();
  Variant requested, completed, down_flag;
  // A column the row lacks stays empty, which reads as no date.
  (void)row.Get("Requested", &requested);
  (void)row.Get("Completed", &completed);
  // Dates are read wherever they are held: a desk whose columns are text or
  // numbers still measures from its dates. Both moments count to the nearest
  // second, in the trace as in the working hours.
  double start = now;
  std::optional<double> requested_moment = MomentOf(requested);
  if (requested_moment && *requested_moment != 0) start = *requested_moment;
  double end = now;
  if (!completed.IsNull() && !completed.IsEmpty()) {
    // A completion that is no date counts from day 0: no hours.
    end = MomentOf(completed).value_or(0);
  }
  trace.Add("Start/End",
            FormatGeneralDate(start) + " to " + FormatGeneralDate(end));
  double hours = WorkingHours(settings_path, start, end);
  trace.Add("NineToFive", FormatPattern(hours, "0.00"));
  (void)row.Set("LeadTime", Variant::Double(hours));
  (void)row.Get("DownFlag", &down_flag);
  bool down =
      !down_flag.IsNull() && !down_flag.IsEmpty() &&
      !(down_flag.type() == Variant::Type::kBoolean && !down_flag.boolean()) &&
      !(down_flag.IsNumber() && down_flag.number() == 0);
  (void)row.Set("DownTime", Variant::Double(down ? hours : 0));
}

}  // namespace

void SetRequestTimes(const std::string& settings_path, RecordSource& row) {
  DebugTrace trace(settings_path);
  SetRequestTimes(settings_path, row, trace);
}

Status CalculateRequestTimes(const std::string& settings_path,
                             RecordSource& row) {
  DebugTrace trace(settings_path);
  trace.Add("CalculateRequestTimes", "Started");
  Variant request_no;
  (void)row.Get("RequestNo", &request_no);
  int32_t number = 0;
  if (request_no.IsNumber()) number = RoundToInt32(request_no.number());
  trace.Add("RequestNo", FormatInteger(number));
  std::string query = "SELECT * FROM Request_Activities WHERE RequestNo=" +
                      FormatInteger(number);
  trace.Add("strQuery", query);
  std::unique_ptr<RecordSource> activities;
  double cost = 0, hours = 0;
  int32_t count = 0;
  if (row.database() == nullptr) return Status::NotSupported("no database");
  Status s =
      RecordSource::Open(row.database(), query, OpenMode::kRead, &activities);
  if (!s.ok()) return s;
  count = activities->RecordCount();
  // A failed read sticks and ends the walk; status() reports it below.
  Status walk = activities->MoveFirst();
  for (; walk.ok() && !activities->eof(); walk = activities->MoveNext()) {
    // A missing duration or rate reads as empty text, which counts as 0.
    Variant duration, rate;
    (void)activities->Get("Duration", &duration);
    (void)activities->Get("ChargeRate", &rate);
    double d = LeadingNumber(duration.ToText());
    cost += LeadingNumber(rate.ToText()) * d;
    hours += d;
  }
  s = activities->status();
  activities->Close();
  if (!s.ok()) return s;
  trace.Add("RecordCount", FormatPattern(count, "0"));
  (void)row.Set("RequestCost", Variant::Double(cost));
  (void)row.Set("HoursWorked", Variant::Double(hours));
  trace.Add("RequestCost", FormatPattern(cost, "0.00"));
  trace.Add("HoursWorked", FormatPattern(hours, "0.0"));
  SetRequestTimes(settings_path, row, trace);
  return Status();
}

}  // namespace kirvs

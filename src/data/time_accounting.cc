#include "data/time_accounting.h"

#include <cmath>
#include <memory>

#include "data/settings.h"
#include "platform/clock.h"
#include "platform/settings_file.h"
#include "platform/text_forms.h"

namespace kirvs {

namespace {

constexpr double kSecondsPerDay = 86400;

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

// A moment to the nearest whole second.
double ToSecond(double moment) {
  return std::round(moment * kSecondsPerDay) / kSecondsPerDay;
}

double HoursOn(const WorkingDay& wd, double start_time, double end_time) {
  // One day: the part of [start_time, end_time] inside the working day.
  double from = std::max(start_time, wd.start);
  double to = std::min(end_time, wd.end);
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
  start = ToSecond(start);
  end = ToSecond(end);
  const double start_day = std::floor(start);
  const double end_day = std::floor(end);
  const double start_time = start - start_day;
  const double end_time = end - end_day;
  double total = 0;
  if (start_day == end_day) {
    if (!wd.include_weekends && IsWeekend(start_day)) return 0;
    total = HoursOn(wd, start_time, end_time);
  } else {
    for (double day = start_day; day <= end_day; ++day) {
      if (!wd.include_weekends && IsWeekend(day)) continue;
      if (day == start_day) {
        total += HoursOn(wd, start_time, 1);
      } else if (day == end_day) {
        total += HoursOn(wd, 0, end_time);
      } else {
        total += wd.end - wd.start;
      }
    }
  }
  return total * 24;
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
  (void)row.Get("Requested", &requested);
  (void)row.Get("Completed", &completed);
  double start = now;
  if (requested.type() == Variant::Type::kDate && requested.date() != 0) {
    start = ToSecond(requested.date());
  }
  double end = now;
  if (!completed.IsNull() && !completed.IsEmpty()) {
    // A completion that is no date counts from day 0: no hours.
    end = completed.type() == Variant::Type::kDate ? ToSecond(completed.date())
                                                   : 0;
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

void CalculateRequestTimes(const std::string& settings_path,
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
  if (row.database() != nullptr &&
      RecordSource::Open(row.database(), query, OpenMode::kRead, &activities)
          .ok()) {
    count = activities->RecordCount();
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
    activities->Close();
  }
  trace.Add("RecordCount", FormatPattern(count, "0"));
  (void)row.Set("RequestCost", Variant::Double(cost));
  (void)row.Set("HoursWorked", Variant::Double(hours));
  trace.Add("RequestCost", FormatPattern(cost, "0.00"));
  trace.Add("HoursWorked", FormatPattern(hours, "0.0"));
  SetRequestTimes(settings_path, row, trace);
}

}  // namespace kirvs

// Time accounting of a request being closed: its cost and hours worked from
// its activity log, and its lead time and down time in working hours.
//
// Working time counts only the hours between StartOfDay and EndofDay (section
// "Settings") of working days: Monday to Friday, or every day when
// IncludeWeekends is "True", "Yes", "-1" or "1". Each computation leaves a
// trace of key=value lines in section "Debug" of the settings file.

#ifndef KIRVS_SRC_DATA_TIME_ACCOUNTING_H_
#define KIRVS_SRC_DATA_TIME_ACCOUNTING_H_

#include <string>

#include "platform/record_source.h"

namespace kirvs {

// The working day and the weekend rule, as the settings give them: 09:00 and
// 17:00 when a time is missing, unreadable or midnight, and also when the
// end of day is not after the start of day.
struct WorkingDay {
  double start = 9.0 / 24;  // fractions of a day
  double end = 17.0 / 24;
  bool include_weekends = false;
};
WorkingDay ReadWorkingDay(const std::string& settings_path);

// The working hours between two moments; 0 when the end is before the start.
// Moments and the working day count to the nearest whole second, and the
// hours are whole seconds / 3600: 10:00 to 15:30 is exactly 5.5.
double WorkingHours(const WorkingDay& day, double start, double end);
double WorkingHours(const std::string& settings_path, double start, double end);

// Writes LeadTime (the working hours from Requested, or now, to Completed, or
// now) and DownTime (the same when DownFlag is set, else 0) into the current
// row of `row`, without storing it. Requested and Completed are read as
// moments whatever their columns' types (MomentOf): a Requested that names no
// date, or day 0, means now; a Completed that names none means day 0. A
// column the row lacks is left out.
void SetRequestTimes(const std::string& settings_path, RecordSource& row);

// Writes RequestCost (the sum of ChargeRate x Duration) and HoursWorked (the
// sum of Duration) over the request's activities into the current row of
// `row`, reading them on the row's own connection, then SetRequestTimes.
// Fails, writing nothing into the row, when the activities cannot all be
// read: a cost summed over some of them would pass for the whole cost.
Status CalculateRequestTimes(const std::string& settings_path,
                             RecordSource& row);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_TIME_ACCOUNTING_H_

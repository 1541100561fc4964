// The requests of the demo help desk: closed requests with their closing
// figures, open requests in every working state, the activities logged on
// both, their audit entries and a few satisfaction surveys.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "data/demo_data.h"
#include "data/demo_inserter.h"
#include "data/demo_parts.h"
#include "data/schema.h"
#include "platform/text_forms.h"

namespace kirvs {

namespace {

// What a request is about, and how it ended once it was closed.
struct Story {
  std::string_view description, type, priority, system, product;
  std::string_view resolution_code, resolution;
};

constexpr Story kStories[] = {
    {"Cannot log on to the laptop after a password change; the account "
     "seems to be locked.",
     "Fault", "2-High", "Desktop", "LAPTOP", "CONFIG",
     "Account unlocked and cached credentials refreshed on the office "
     "network."},
    {"Outlook keeps asking for the password every few minutes.", "Fault",
     "3-Normal", "Email", "OUTLOOK", "CONFIG",
     "Removed stale credentials and recreated the mail profile."},
    {"Second floor printer jams on every two-sided job.", "Fault", "3-Normal",
     "Printing", "PRINTER", "REPLACED", "Replaced the worn duplex rollers."},
    {"New starter in Payroll needs a laptop, email and payroll access from "
     "Monday.",
     "Request", "2-High", "Desktop", "LAPTOP", "FIXED",
     "Laptop issued; accounts created and payroll access approved by the "
     "payroll manager."},
    {"VPN drops every ten minutes when working from home.", "Fault", "2-High",
     "Network", "VPN", "CONFIG",
     "Updated the VPN client and shortened the keep-alive interval."},
    {"Branch North has no network connection at all.", "Fault", "1-Urgent",
     "Network", "ROUTER", "REPLACED",
     "Router power supply failed; swapped in the spare router and restored "
     "its configuration."},
    {"Please install the statistics add-in for the spreadsheet program.",
     "Install", "4-Low", "Desktop", "OFFICE", "FIXED",
     "Add-in installed and licensed."},
    {"Payroll run fails with a timeout on the tax calculation step.", "Fault",
     "1-Urgent", "Finance", "PAYROLL", "FIXED",
     "Rebuilt the payroll database indexes and reran the calculation."},
    {"Desk phone shows 'No service' since the office move.", "Fault",
     "3-Normal", "Phones", "PHONE", "CONFIG",
     "Patched the new desk's wall port to the voice network."},
    {"How do I share my calendar with my team?", "Query", "4-Low", "Email",
     "OUTLOOK", "ADVICE", "Sent step-by-step instructions for sharing."},
    {"Monitor flickers and goes black after a few minutes.", "Fault",
     "3-Normal", "Desktop", "MONITOR", "REPLACED",
     "Monitor replaced under warranty."},
    {"Wireless coverage in the warehouse office is very weak.", "Fault",
     "3-Normal", "Network", "WIFI", "FIXED",
     "Added an access point near the loading dock."},
    {"Access to the shared Marketing drive for the new campaign team.",
     "Request", "3-Normal", "Desktop", "WIN11", "FIXED",
     "Added the team to the Marketing share group."},
    {"Month-end ledger report shows every total twice.", "Fault", "2-High",
     "Finance", "LEDGER", "WORKAROUND",
     "Report filter corrected; the vendor will fix the report in the next "
     "release."},
    {"Laptop is very slow to start and runs hot.", "Fault", "3-Normal",
     "Desktop", "LAPTOP", "FIXED",
     "Cleaned the fan and removed unneeded startup programs."},
    {"Company mobile does not receive email any more.", "Fault", "3-Normal",
     "Phones", "MOBILE", "CONFIG",
     "Re-enrolled the phone in device management and re-added the mail "
     "account."},
    {"Move the switch port of the new label printer to the warehouse VLAN.",
     "Change", "3-Normal", "Network", "SWITCH", "CONFIG",
     "Port moved to VLAN 30 and tested with a label print."},
    {"CRM shows an error when saving a new customer contact.", "Fault",
     "2-High", "Web", "CRM", "FIXED",
     "A required field had been renamed; mapping corrected."},
    {"PC restarts in a loop after a failed Windows update.", "Fault", "2-High",
     "Desktop", "WIN11", "FIXED",
     "Rolled back the failed update from recovery mode."},
    {"Copier on HQ Level 1 does not send scans to email.", "Fault", "3-Normal",
     "Printing", "PRINTER", "CONFIG",
     "Pointed the copier at the internal mail relay."},
    {"Please move my extension to my new desk in Branch South.", "Change",
     "4-Low", "Phones", "PHONE", "FIXED", "Extension moved and tested."},
    {"Cannot open attachments sent from the supplier portal.", "Fault",
     "3-Normal", "Email", "OUTLOOK", "CONFIG",
     "Allowed the portal's file type in the mail filter."},
    {"Second monitor for the accounts payable team leader.", "Request", "4-Low",
     "Desktop", "MONITOR", "FIXED", "Monitor ordered and installed."},
    {"Mailbox is full and no new mail arrives.", "Fault", "2-High", "Email",
     "OUTLOOK", "CONFIG", "Archived old mail and raised the mailbox quota."},
};
static_assert(std::size(kStories) == kDemoOpenRequests);

// States of open requests, in the proportions the demo shows them.
constexpr std::string_view kOpenStatuses[] = {
    "Open",    "Allocated", "In Progress",   "Scheduled",
    "On Hold", "Allocated", "Awaiting User", "In Progress",
};

constexpr std::string_view kFirstSteps[] = {
    "Phoned the user to go through the problem.",
    "Remote session to see the fault.",
    "Visited the desk to look at the problem.",
    "Checked the logs and monitoring alerts.",
};
constexpr std::string_view kMiddleSteps[] = {
    "Applied the change and tested it.",
    "Ordered a replacement part.",
    "Raised a case with the vendor's support.",
    "Tried the fix on a spare machine first.",
};
constexpr std::string_view kLastSteps[] = {
    "Confirmed with the user that everything works.",
    "Tested with the user and closed off.",
};
constexpr std::string_view kSurveyComments[] = {
    "Quick and friendly, thank you.",
    "Fixed first time.",
    "Took a while but kept me informed.",
};

// Requests are spread over this many working days before DemoNow(); the
// closed ones take the older part of the stretch.
constexpr int kSpanDays = 60;
// The working day runs from 09:00 for this many minutes (to 17:00), as the
// default StartOfDay and EndofDay settings have it.
constexpr int kDayMinutes = 8 * 60;

bool IsWorkingDay(double day) {
  int weekday = Weekday(day);
  return weekday != 1 && weekday != 7;
}

double AddWorkingDays(double day, int count) {
  while (count > 0) {
    day += 1;
    if (IsWorkingDay(day)) --count;
  }
  return day;
}

// The moment `minutes` after 09:00 on `day`.
double WorkingMoment(double day, int minutes) {
  return day + (9 * 60 + minutes) / 1440.0;
}

// Every value of one request row.
struct RequestRow {
  int number = 0;
  double requested = 0;
  const DemoStaff* staff = nullptr;
  const Story* story = nullptr;
  const DemoRequester* user = nullptr;
  std::string_view status;
  std::optional<SqlMoment> allocated, scheduled, completed;
  std::optional<std::string_view> escalation, resolution_code, resolution;
  std::optional<double> cost, hours, lead_time, down_time;
  bool down = false;
};

constexpr char kInsertRequest[] =
    " (RequestNo, Requested, Personnel, Description, Allocated, Scheduled, "
    "Completed, RequestType, Priority, Status, System, Product, Department, "
    "[Sub-Department], Location, WorkGroup, EscalationId, ResolutionCode, "
    "Resolution, UserId, Contact, Telephone, NetworkId, NotifyUser, "
    "RequestCost, HoursWorked, LeadTime, DownFlag, DownTime) VALUES (?, ?, ?, "
    "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
    "?, ?)";

class RequestFill {
 public:
  RequestFill(Database* db, int scale)
      : closed_count_(kDemoClosedRequests * scale),
        total_(closed_count_ + kDemoOpenRequests * scale),
        current_(db,
                 std::string("INSERT INTO Current_Requests") + kInsertRequest),
        completed_(
            db, std::string("INSERT INTO Completed_Requests") + kInsertRequest),
        activities_(db,
                    "INSERT INTO Request_Activities (RequestNo, ActNo, "
                    "[Date/Time], Personnel, WorkGroup, Description, "
                    "Duration, ChargeRate) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
        audit_(db,
               "INSERT INTO Request_AuditTrail (RequestNo, EntryTime, UserId, "
               "Event, Description) VALUES (?, ?, ?, ?, ?)"),
        surveys_(db,
                 "INSERT INTO Survey (RequestNo, SurveyDate, UserId, Rating, "
                 "Comments) VALUES (?, ?, ?, ?, ?)"),
        counters_(db,
                  "INSERT INTO Counters (FileName, LastNumber) VALUES (?, ?)"),
        rng_(20250303) {
    double day = std::floor(DemoNow());
    days_.resize(kSpanDays);
    for (int i = kSpanDays - 1; i >= 0; --i) {
      do {
        day -= 1;
      } while (!IsWorkingDay(day));
      days_[i] = day;
    }
  }

  Status Run() {
    for (int r = 0; r < total_; ++r) {
      if (r < closed_count_) {
        AddClosed(r);
      } else {
        AddOpen(r);
      }
    }
    counters_.Insert(kRequestCounter, kDemoFirstRequestNo + total_ - 1);
    for (const RowInserter* insert : {&current_, &completed_, &activities_,
                                      &audit_, &surveys_, &counters_}) {
      if (!insert->status().ok()) return insert->status();
    }
    return Status();
  }

 private:
  int Pick(int count) { return static_cast<int>(rng_() % count); }

  // The parts every request has, whatever its state. It is registered
  // `*start` minutes into the working day `days_[*day_index]`.
  RequestRow Start(int r, int* day_index, int* start) {
    RequestRow row;
    row.number = kDemoFirstRequestNo + r;
    row.story = &kStories[r % std::size(kStories)];
    row.staff = &kDemoStaff[r % std::size(kDemoStaff)];
    row.user = &kDemoRequesters[(r * 7) % std::size(kDemoRequesters)];
    *day_index = static_cast<int>(int64_t{r} * kSpanDays / total_);
    *start = Pick(kDayMinutes - 30);
    row.requested = WorkingMoment(days_[*day_index], *start);
    return row;
  }

  void AddClosed(int r) {
    int day_index = 0, start = 0;
    RequestRow row = Start(r, &day_index, &start);
    double day = days_[day_index];
    // Closed the same day or up to three working days later; the lead time
    // is the working time in between, counted the way closing counts it.
    int later_days = Pick(4);
    int end = later_days == 0 ? start + 30 + Pick(kDayMinutes - start - 29)
                              : Pick(kDayMinutes + 1);
    int lead_minutes =
        later_days == 0
            ? end - start
            : (kDayMinutes - start) + kDayMinutes * (later_days - 1) + end;
    double completed = WorkingMoment(AddWorkingDays(day, later_days), end);

    row.status = "Closed";
    row.allocated = SqlMoment{row.requested + (5 + Pick(25)) / 1440.0};
    row.completed = SqlMoment{completed};
    row.resolution_code = row.story->resolution_code;
    row.resolution = row.story->resolution;
    row.down = row.story->priority == "1-Urgent";
    row.lead_time = lead_minutes / 60.0;
    row.down_time = row.down ? *row.lead_time : 0.0;
    double hours = 0, cost = 0;
    AddActivities(row, day, start, lead_minutes, 1 + Pick(3), true, &hours,
                  &cost);
    row.hours = hours;
    row.cost = cost;
    InsertRow(&completed_, row);
    AddAudit(row);
    if (r % 3 == 0) {
      surveys_.Insert(row.number, SqlMoment{completed + 1.0}, row.user->user_id,
                      3 + Pick(3),
                      kSurveyComments[(r / 3) % std::size(kSurveyComments)]);
    }
  }

  void AddOpen(int r) {
    int day_index = 0, start = 0;
    RequestRow row = Start(r, &day_index, &start);
    row.status = kOpenStatuses[r % std::size(kOpenStatuses)];
    if (row.status == "Open") {
      // Not allocated yet: it waits in the first-line queue.
      row.staff = &kDemoStaff[0];
    } else {
      row.allocated = SqlMoment{row.requested + (10 + Pick(50)) / 1440.0};
    }
    if (row.status == "Scheduled") {
      double day = AddWorkingDays(std::floor(DemoNow()), 1 + Pick(5));
      row.scheduled = SqlMoment{WorkingMoment(day, 60 + 30 * Pick(10))};
      row.escalation = "ESC-1D";
    } else if (row.status == "On Hold") {
      row.escalation = "VENDOR";
    }
    int activity_count = row.status == "Open" ? 0 : Pick(3);
    double hours = 0, cost = 0;
    // Working time from registration to the end of the stretch.
    int open_minutes =
        (kSpanDays - 1 - day_index) * kDayMinutes + (kDayMinutes - start);
    AddActivities(row, days_[day_index], start, open_minutes, activity_count,
                  false, &hours, &cost);
    InsertRow(&current_, row);
    AddAudit(row);
  }

  // Logs `count` activities spread over the `available` working minutes
  // that follow the request's registration (`start` minutes into `day`),
  // numbered 1, 2, ... in date order, and sums their hours and cost. No
  // activity takes longer than its share of that time.
  void AddActivities(const RequestRow& row, double day, int start,
                     int available, int count, bool closing, double* hours,
                     double* cost) {
    int longest = std::max(15, available / std::max(count, 1) / 15 * 15);
    for (int j = 0; j < count; ++j) {
      int offset = available * (j + 1) / (count + 1) / 5 * 5;
      int minutes = start + offset;
      double when = WorkingMoment(AddWorkingDays(day, minutes / kDayMinutes),
                                  minutes % kDayMinutes);
      std::string_view what = j == 0 ? kFirstSteps[Pick(std::size(kFirstSteps))]
                              : closing && j == count - 1
                                  ? kLastSteps[Pick(std::size(kLastSteps))]
                                  : kMiddleSteps[Pick(std::size(kMiddleSteps))];
      double duration = std::min(15 * (1 + Pick(12)), longest) / 60.0;
      activities_.Insert(row.number, j + 1, SqlMoment{when}, row.staff->name,
                         row.staff->work_group, what, duration,
                         row.staff->charge_rate);
      *hours += duration;
      *cost += duration * row.staff->charge_rate;
    }
  }

  void InsertRow(RowInserter* table, const RequestRow& row) {
    const DemoRequester& user = *row.user;
    table->Insert(row.number, SqlMoment{row.requested}, row.staff->name,
                  row.story->description, row.allocated, row.scheduled,
                  row.completed, row.story->type, row.story->priority,
                  row.status, row.story->system, row.story->product,
                  user.department, user.sub_department, user.location,
                  row.staff->work_group, row.escalation, row.resolution_code,
                  row.resolution, user.user_id, user.contact, user.telephone,
                  user.network_id, user.notify, row.cost, row.hours,
                  row.lead_time, row.down, row.down_time);
  }

  // The entries saving the request would have left: logged by the first
  // line, then allocated and scheduled.
  void AddAudit(const RequestRow& row) {
    std::string_view logger = kDemoStaff[0].user_id;
    audit_.Insert(row.number, SqlMoment{row.requested}, logger, "Logged",
                  "Priority: " + std::string(row.story->priority) + "; ");
    if (row.allocated) {
      audit_.Insert(row.number, *row.allocated, logger, "Allocated",
                    "Allocated to: " + std::string(row.staff->work_group) +
                        "," + std::string(row.staff->name) + " at " +
                        FormatGeneralDate(row.allocated->days));
    }
    if (row.scheduled) {
      audit_.Insert(row.number, *row.allocated, row.staff->user_id, "Scheduled",
                    "Scheduled: " + FormatGeneralDate(row.scheduled->days) +
                        "; EscalationId: " + std::string(*row.escalation));
    }
  }

  const int closed_count_;
  const int total_;
  std::vector<double> days_;  // the working days of the stretch, oldest first
  RowInserter current_, completed_, activities_, audit_, surveys_, counters_;
  std::minstd_rand rng_;
};

}  // namespace

double DemoNow() { return DaysFromCivil(2025, 3, 3); }

Status FillDemoRequests(Database* db, int scale) {
  return RequestFill(db, scale).Run();
}

}  // namespace kirvs

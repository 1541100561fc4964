// Internal to the demo data: the people who raise requests, and the pieces
// of the fill that FillDemoData runs inside its transaction.

#ifndef KIRVS_SRC_DATA_DEMO_PARTS_H_
#define KIRVS_SRC_DATA_DEMO_PARTS_H_

#include <string_view>

#include "platform/database.h"
#include "platform/status.h"

namespace kirvs {

// A row of Users: someone who raises requests.
struct DemoRequester {
  std::string_view user_id;
  std::string_view contact;
  std::string_view department;
  std::string_view sub_department;
  std::string_view location;
  std::string_view telephone;
  std::string_view network_id;
  bool notify;
};

// The end users of the demo; the demo staff are requesters too and are added
// to Users from kDemoStaff.
inline constexpr DemoRequester kDemoRequesters[] = {
    {"jsmith", "John Smith", "Finance", "Accounts Payable", "HQ Level 2",
     "x2101", "DRAVEL\\jsmith", true},
    {"mlee", "Mary Lee", "Finance", "Payroll", "HQ Level 2", "x2115",
     "DRAVEL\\mlee", false},
    {"pwong", "Peter Wong", "Sales", "Inside Sales", "HQ Level 1", "x1120",
     "DRAVEL\\pwong", true},
    {"rpatel", "Ravi Patel", "Sales", "Field Sales", "Branch North", "x4102",
     "DRAVEL\\rpatel", true},
    {"sgarcia", "Sofia Garcia", "Marketing", "Campaigns", "HQ Level 3", "x3140",
     "DRAVEL\\sgarcia", false},
    {"tnguyen", "Tom Nguyen", "Operations", "Warehouse", "Warehouse", "x5010",
     "DRAVEL\\tnguyen", true},
    {"kbrown", "Kate Brown", "Operations", "Logistics", "Branch South", "x6021",
     "DRAVEL\\kbrown", false},
    {"hmiller", "Helen Miller", "HR", "Recruitment", "HQ Level 3", "x3102",
     "DRAVEL\\hmiller", true},
    {"dkhan", "David Khan", "Finance", "Accounts Payable", "HQ Level 2",
     "x2122", "DRAVEL\\dkhan", true},
    {"lrossi", "Laura Rossi", "Sales", "Inside Sales", "HQ Level 1", "x1131",
     "DRAVEL\\lrossi", false},
};

// The moment the demo data is made "at": 2025-03-03 00:00, a Monday. Open
// requests lie in the weeks before it, closed ones further back.
double DemoNow();

// Fills Current_Requests, Completed_Requests, Request_Activities,
// Request_AuditTrail, Survey and the request counter.
// REQUIRES: inside the fill's transaction; scale >= 1.
Status FillDemoRequests(Database* db, int scale);

// Fills Items, Item_Configuration and Solutions.
// REQUIRES: inside the fill's transaction; scale >= 1.
Status FillDemoInventory(Database* db, int scale);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_DEMO_PARTS_H_

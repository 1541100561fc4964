// The demo help desk: a small, believable support team with its accounts,
// code tables, open and closed requests with their activities and audit
// entries, inventory items with their configuration, and a solutions
// knowledge base. For trying the system out, for tests and, scaled up, for
// benchmarks.
//
// The data does not depend on when or where it is made: every date lies in a
// fixed stretch of time before 2025-03-03 and every "random" choice comes
// from a fixed seed, so two fills of the same scale give identical databases
// but for the salts of the password hashes.
//
// Thread safety: FillDemoData uses the connection it is given, which must not
// be used by another thread meanwhile.

#ifndef KIRVS_SRC_DATA_DEMO_DATA_H_
#define KIRVS_SRC_DATA_DEMO_DATA_H_

#include <string_view>

#include "platform/database.h"
#include "platform/status.h"

namespace kirvs {

// A support person of the demo help desk and the login that goes with it.
struct DemoStaff {
  std::string_view user_id;
  std::string_view password;
  std::string_view name;        // the personnel name requests are allocated to
  std::string_view work_group;  // a row of Work_Groups
  double charge_rate;  // per hour, the rate of this person's activities
};

// The demo staff, in the order they are created.
inline constexpr DemoStaff kDemoStaff[] = {
    {"ann", "ann123", "Ann Archer", "Service Desk", 45.0},
    {"bob", "bob123", "Bob Baker", "Desktop", 55.0},
    {"carol", "carol123", "Carol Chen", "Network", 70.0},
    {"dave", "dave123", "Dave Dunn", "Applications", 65.0},
};

// How many rows one unit of scale makes; FillDemoData(db, n) makes n times
// as many of each.
inline constexpr int kDemoOpenRequests = 24;
inline constexpr int kDemoClosedRequests = 16;
inline constexpr int kDemoItems = 12;
inline constexpr int kDemoSolutions = 10;

// The first request number of the demo; numbers run on without gaps, closed
// requests first.
inline constexpr int kDemoFirstRequestNo = 1001;

// Fills a database made by CreateSchema with the demo help desk, in one
// transaction: all of it or, on failure, nothing.
// REQUIRES: the tables are empty, scale >= 1 and no transaction is open.
Status FillDemoData(Database* db, int scale);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_DEMO_DATA_H_

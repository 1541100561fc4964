// The tables and indexes of the help-desk database.
//
// The engine reads some columns by position, so column order is part of the
// contract: both request tables start with RequestNo and Requested and have
// identical column lists (closing copies a row by position); the audit trail
// has exactly five columns; Personnel holds the name at 0, the work group at
// 1 and UserId at 4; Logins holds UserName at 1 and the login time at 2;
// System_Users holds the password at 1; Users holds the requester's details
// in the order that a new request copies them; Counters and Options hold
// their value at 1; every code table holds its code at 0.
//
// Declared types matter as much: the forms derive their inputs from them
// (VARCHAR(255) a wide input, MEMO/TEXT a long text, BOOLEAN a checkbox,
// DATETIME a date; see platform/column_types.h). Every text column compares
// without regard to case (see text_collation.h), and the file records
// Database::kLayoutVersion.
//
// Thread safety: CreateSchema uses the connection it is given, which must not
// be used by another thread meanwhile.

#ifndef KIRVS_SRC_DATA_SCHEMA_H_
#define KIRVS_SRC_DATA_SCHEMA_H_

#include <string>
#include <string_view>

#include "platform/database.h"
#include "platform/status.h"

namespace kirvs {

// A code table and the request (or item) column whose values it lists.
struct CodeTable {
  std::string_view table;
  std::string_view column;
};

// Every code table, with the column that the forms fill from it.
inline constexpr CodeTable kCodeTables[] = {
    {"Request_Types", "RequestType"},
    {"Priority", "Priority"},
    {"Status", "Status"},
    {"System_Codes", "System"},
    {"Products", "Product"},
    {"Product_Types", "ProductType"},
    {"Departments", "Department"},
    {"Sub-Departments", "Sub-Department"},
    {"Locations", "Location"},
    {"Work_Groups", "WorkGroup"},
    {"Escalation", "EscalationId"},
    {"Resolution_Codes", "ResolutionCode"},
};

// The counter row of Counters that issues request numbers.
inline constexpr char kRequestCounter[] = "Current_Requests";

// The statements that make every table and index of the help-desk database
// and record its layout, in `store`'s own dialect, without a transaction of
// their own: CreateSchema runs them in one, `kirvs copy` inside its own.
Status SchemaScript(Store store, std::string* out);

// Creates every table and index of the help-desk database in one
// transaction; nothing is created when any statement fails.
// REQUIRES: `db` holds none of these tables yet and no open transaction.
Status CreateSchema(Database* db);

// Whether the database (on PostgreSQL: its current schema) holds any table.
Status HasTables(Database* db, bool* has);

// Drops the help desk's tables and domains from a PostgreSQL database, for
// `kirvs init --force`; other tables of the schema stay.
Status DropPostgresHelpDesk(Database* db);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_SCHEMA_H_

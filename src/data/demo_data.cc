#include "data/demo_data.h"

#include <span>
#include <string>

#include "data/demo_inserter.h"
#include "data/demo_parts.h"
#include "platform/escape.h"
#include "platform/password_hash.h"

namespace kirvs {

namespace {

struct CodeRow {
  std::string_view code;
  std::string_view description;
};

constexpr CodeRow kRequestTypes[] = {
    {"Change", "Change to an existing setup"},
    {"Fault", "Something that worked has stopped working"},
    {"Install", "Install software or equipment"},
    {"Query", "How-to question or advice"},
    {"Request", "New service, access or equipment"},
};

constexpr CodeRow kStatuses[] = {
    {"Allocated", "Allocated to a support person"},
    {"Awaiting User", "Waiting for the user to reply or be available"},
    {"Closed", "Resolved and closed"},
    {"In Progress", "Being worked on"},
    {"On Hold", "Waiting for parts or a third party"},
    {"Open", "Logged, not yet allocated"},
    {"Scheduled", "Work booked for a set time"},
};

constexpr CodeRow kSystems[] = {
    {"Desktop", "Desktop and laptop computers"},
    {"Email", "Email and calendars"},
    {"Finance", "Finance and payroll applications"},
    {"HR", "Human resources applications"},
    {"Network", "Network, remote access and wireless"},
    {"Phones", "Desk phones and mobiles"},
    {"Printing", "Printers, copiers and scanners"},
    {"Web", "Web applications and portals"},
};

constexpr CodeRow kProductTypes[] = {
    {"Hardware", "Computers, monitors and printers"},
    {"Network", "Routers, switches and wireless"},
    {"Software", "Operating systems and applications"},
    {"Telephony", "Desk phones and mobiles"},
};

struct ProductRow {
  std::string_view code, description, type;
};

constexpr ProductRow kProducts[] = {
    {"CRM", "Customer relationship management", "Software"},
    {"DESKTOP", "Standard desktop PC", "Hardware"},
    {"LAPTOP", "Standard laptop", "Hardware"},
    {"LEDGER", "General ledger", "Software"},
    {"MOBILE", "Company mobile phone", "Telephony"},
    {"MONITOR", "Monitor", "Hardware"},
    {"OFFICE", "Office applications", "Software"},
    {"OUTLOOK", "Mail and calendar client", "Software"},
    {"PAYROLL", "Payroll system", "Software"},
    {"PHONE", "Desk phone", "Telephony"},
    {"PRINTER", "Network printer or copier", "Hardware"},
    {"ROUTER", "Branch router", "Network"},
    {"SWITCH", "Network switch", "Network"},
    {"VPN", "Remote access VPN", "Network"},
    {"WIFI", "Wireless access point", "Network"},
    {"WIN11", "Windows 11 desktop", "Software"},
};

constexpr CodeRow kDepartments[] = {
    {"Finance", "Accounts and payroll"},       {"HR", "Human resources"},
    {"IT", "Information technology"},          {"Marketing", "Marketing"},
    {"Operations", "Warehouse and logistics"}, {"Sales", "Sales"},
};

struct SubDepartmentRow {
  std::string_view code, department, description;
};

constexpr SubDepartmentRow kSubDepartments[] = {
    {"Accounts Payable", "Finance", "Supplier invoices and payments"},
    {"Campaigns", "Marketing", "Campaign planning and events"},
    {"Field Sales", "Sales", "Sales representatives on the road"},
    {"Infrastructure", "IT", "Servers and network"},
    {"Inside Sales", "Sales", "Telephone and counter sales"},
    {"Logistics", "Operations", "Dispatch and transport"},
    {"Payroll", "Finance", "Salaries and wages"},
    {"Recruitment", "HR", "Hiring and new starters"},
    {"Service Desk", "IT", "First-line support"},
    {"Warehouse", "Operations", "Stock and goods in"},
};

constexpr CodeRow kLocations[] = {
    {"Branch North", "North branch office"},
    {"Branch South", "South branch office"},
    {"HQ Level 1", "Head office, ground floor"},
    {"HQ Level 2", "Head office, second floor"},
    {"HQ Level 3", "Head office, third floor"},
    {"Warehouse", "Distribution warehouse"},
};

constexpr CodeRow kWorkGroups[] = {
    {"Applications", "Business applications support"},
    {"Desktop", "Desktop, printing and telephony support"},
    {"Network", "Network and remote access"},
    {"Service Desk", "First-line support and logging"},
};

struct RankedCodeRow {
  std::string_view code, description;
  int hours;
};

constexpr RankedCodeRow kPriorities[] = {
    {"1-Urgent", "Business stopped; respond within 2 hours", 2},
    {"2-High", "Work badly affected; respond within 8 hours", 8},
    {"3-Normal", "Work affected; respond within 1 day", 24},
    {"4-Low", "Minor or cosmetic; respond within 3 days", 72},
};

constexpr RankedCodeRow kEscalations[] = {
    {"ESC-1D", "Escalate to team leader after 1 day", 24},
    {"ESC-2H", "Escalate to team leader after 2 hours", 2},
    {"ESC-3D", "Escalate to IT manager after 3 days", 72},
    {"VENDOR", "Escalated to the vendor's support", 0},
};

constexpr CodeRow kResolutionCodes[] = {
    {"ADVICE", "Advice or instructions given"},
    {"CONFIG", "Configuration changed"},
    {"DUPLICATE", "Duplicate of another request"},
    {"FIXED", "Fault repaired or request done"},
    {"NO-FAULT", "No fault found"},
    {"REPLACED", "Part or equipment replaced"},
    {"WORKAROUND", "Workaround in place"},
};

Status FillCodeTable(Database* db, std::string_view table,
                     std::string_view column, std::span<const CodeRow> rows) {
  std::string sql = "INSERT INTO ";
  AppendSqlName(&sql, table);
  sql += " (";
  AppendSqlName(&sql, column);
  sql += ", Description) VALUES (?, ?)";
  RowInserter insert(db, sql);
  for (const CodeRow& row : rows) insert.Insert(row.code, row.description);
  return insert.status();
}

Status FillCodeTables(Database* db) {
  Status s = FillCodeTable(db, "Request_Types", "RequestType", kRequestTypes);
  if (s.ok()) s = FillCodeTable(db, "Status", "Status", kStatuses);
  if (s.ok()) s = FillCodeTable(db, "System_Codes", "System", kSystems);
  if (s.ok()) {
    s = FillCodeTable(db, "Product_Types", "ProductType", kProductTypes);
  }
  if (s.ok()) s = FillCodeTable(db, "Departments", "Department", kDepartments);
  if (s.ok()) s = FillCodeTable(db, "Locations", "Location", kLocations);
  if (s.ok()) s = FillCodeTable(db, "Work_Groups", "WorkGroup", kWorkGroups);
  if (s.ok()) {
    s = FillCodeTable(db, "Resolution_Codes", "ResolutionCode",
                      kResolutionCodes);
  }
  if (!s.ok()) return s;

  RowInserter products(db,
                       "INSERT INTO Products (Product, Description, "
                       "ProductType) VALUES (?, ?, ?)");
  for (const ProductRow& row : kProducts) {
    products.Insert(row.code, row.description, row.type);
  }
  RowInserter sub_departments(db,
                              "INSERT INTO [Sub-Departments] "
                              "([Sub-Department], Department, Description) "
                              "VALUES (?, ?, ?)");
  for (const SubDepartmentRow& row : kSubDepartments) {
    sub_departments.Insert(row.code, row.department, row.description);
  }
  RowInserter priorities(db,
                         "INSERT INTO Priority (Priority, Description, "
                         "ResponseHours) VALUES (?, ?, ?)");
  for (const RankedCodeRow& row : kPriorities) {
    priorities.Insert(row.code, row.description, row.hours);
  }
  RowInserter escalations(db,
                          "INSERT INTO Escalation (EscalationId, "
                          "Description, Hours) VALUES (?, ?, ?)");
  for (const RankedCodeRow& row : kEscalations) {
    escalations.Insert(row.code, row.description, row.hours);
  }
  for (const RowInserter* insert :
       {&products, &sub_departments, &priorities, &escalations}) {
    if (!insert->status().ok()) return insert->status();
  }
  return Status();
}

// The staff sign in (System_Users), are support people (Personnel) and
// raise requests of their own (Users); everyone else is only in Users.
Status FillPeople(Database* db) {
  RowInserter accounts(db,
                       "INSERT INTO System_Users (UserId, Password, FullName, "
                       "Email) VALUES (?, ?, ?, ?)");
  RowInserter personnel(db,
                        "INSERT INTO Personnel (Name, WorkGroup, Telephone, "
                        "Email, UserId, ChargeRate) VALUES (?, ?, ?, ?, ?, ?)");
  RowInserter users(db,
                    "INSERT INTO Users (UserId, Contact, Department, "
                    "[Sub-Department], Location, Telephone, NetworkId, "
                    "NotifyUser) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
  int extension = 1001;
  for (const DemoStaff& staff : kDemoStaff) {
    std::string user_id(staff.user_id);
    std::string email = user_id + "@dravel.example";
    std::string phone = "x" + std::to_string(extension++);
    bool first_line = staff.work_group == "Service Desk";
    std::string hash;
    Status hashed = HashPassword(staff.password, &hash);
    if (!hashed.ok()) return hashed;
    accounts.Insert(staff.user_id, hash, staff.name, email);
    personnel.Insert(staff.name, staff.work_group, phone, email, staff.user_id,
                     staff.charge_rate);
    users.Insert(staff.user_id, staff.name, "IT",
                 first_line ? "Service Desk" : "Infrastructure", "HQ Level 1",
                 phone, "DRAVEL\\" + user_id, false);
  }
  for (const DemoRequester& user : kDemoRequesters) {
    users.Insert(user.user_id, user.contact, user.department,
                 user.sub_department, user.location, user.telephone,
                 user.network_id, user.notify);
  }
  for (const RowInserter* insert : {&accounts, &personnel, &users}) {
    if (!insert->status().ok()) return insert->status();
  }
  return Status();
}

Status FillOptions(Database* db) {
  RowInserter options(db, "INSERT INTO Options (Option, Value) VALUES (?, ?)");
  options.Insert("UserSurveyRequired", "False");
  return options.status();
}

Status FillAll(Database* db, int scale) {
  Status s = FillCodeTables(db);
  if (s.ok()) s = FillPeople(db);
  if (s.ok()) s = FillOptions(db);
  if (s.ok()) s = FillDemoInventory(db, scale);
  if (s.ok()) s = FillDemoRequests(db, scale);
  return s;
}

}  // namespace

Status FillDemoData(Database* db, int scale) {
  if (scale < 1) return Status::InvalidArgument("scale must be at least 1");
  Status s = db->Begin();
  if (!s.ok()) return s;
  s = FillAll(db, scale);
  if (s.ok()) s = db->Commit();
  if (!s.ok()) db->Rollback();
  return s;
}

}  // namespace kirvs

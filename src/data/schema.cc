#include "data/schema.h"

#include <memory>
#include <string>

#include "data/activity_pages.h"
#include "data/postgres_schema.h"
#include "data/text_collation.h"
#include "data/web_state_tables.h"
#include "platform/statement.h"

namespace kirvs {

namespace {

// The columns of both request tables. Closing a request copies its row into
// Completed_Requests column by column, by position, so the two tables are
// created from this one list and can never drift apart. RequestNo carries no
// PRIMARY KEY: as an INTEGER PRIMARY KEY SQLite would invent a number for a
// row stored without one, and a request is stored with its final number or
// not at all.
constexpr char kRequestColumns[] = R"sql((
  RequestNo INTEGER NOT NULL,
  Requested DATETIME,
  Personnel VARCHAR(50),
  Description VARCHAR(255),
  Allocated DATETIME,
  Scheduled DATETIME,
  Completed DATETIME,
  RequestType VARCHAR(20),
  Priority VARCHAR(20),
  Status VARCHAR(20),
  System VARCHAR(20),
  Product VARCHAR(20),
  Department VARCHAR(30),
  [Sub-Department] VARCHAR(30),
  Location VARCHAR(30),
  WorkGroup VARCHAR(30),
  EscalationId VARCHAR(20),
  ResolutionCode VARCHAR(20),
  Resolution VARCHAR(255),
  UserId VARCHAR(20),
  Contact VARCHAR(50),
  Telephone VARCHAR(20),
  NetworkId VARCHAR(30),
  NotifyUser BOOLEAN DEFAULT 0,
  RequestCost CURRENCY,
  HoursWorked DOUBLE,
  LeadTime DOUBLE,
  DownFlag BOOLEAN DEFAULT 0,
  DownTime DOUBLE
))sql";

// Everything except the two request tables. Column order is part of the
// contract where a comment says so; the rest is ordered for the forms, which
// show columns two to a row in table order when a column list is "*".
constexpr char kOtherTables[] = R"sql(
CREATE TABLE Request_AuditTrail (
  RequestNo INTEGER NOT NULL,
  EntryTime DATETIME,
  UserId VARCHAR(20),
  Event VARCHAR(20),
  Description VARCHAR(255)
);

CREATE TABLE Request_Activities (
  RequestNo INTEGER NOT NULL,
  ActNo INTEGER NOT NULL,
  [Date/Time] DATETIME,
  Personnel VARCHAR(50),
  WorkGroup VARCHAR(30),
  Description VARCHAR(255),
  Duration DOUBLE,
  ChargeRate CURRENCY
);

CREATE TABLE Counters (
  FileName VARCHAR(50) NOT NULL PRIMARY KEY,
  LastNumber INTEGER
);

CREATE TABLE Options (
  Option VARCHAR(50) NOT NULL PRIMARY KEY,
  Value VARCHAR(100)
);

CREATE TABLE Survey (
  RequestNo INTEGER NOT NULL,
  SurveyDate DATETIME,
  UserId VARCHAR(20),
  Rating SMALLINT,
  Comments VARCHAR(255)
);

-- Column 0 is never read by the engine; SQLite numbers new rows itself.
CREATE TABLE Logins (
  LoginId INTEGER PRIMARY KEY,
  UserName VARCHAR(20) NOT NULL,
  LoginTime DATETIME
);

-- Password holds the argon2id hash of the password; LastLogin the time of
-- the user's latest login, which outlives the login entry.
CREATE TABLE System_Users (
  UserId VARCHAR(20) NOT NULL PRIMARY KEY,
  Password VARCHAR(30),
  FullName VARCHAR(50),
  Email VARCHAR(60),
  LastLogin DATETIME
);

-- A user's second factor: the secret of his authenticator (base 32) and the
-- last time step whose code was accepted, so that no code is accepted twice.
CREATE TABLE User_Factors (
  UserId VARCHAR(20) NOT NULL PRIMARY KEY,
  Secret TEXT,
  LastStep INTEGER
);

CREATE TABLE Personnel (
  Name VARCHAR(50) NOT NULL PRIMARY KEY,
  WorkGroup VARCHAR(30),
  Telephone VARCHAR(20),
  Email VARCHAR(60),
  UserId VARCHAR(20),
  ChargeRate CURRENCY
);

CREATE TABLE Users (
  UserId VARCHAR(20) NOT NULL PRIMARY KEY,
  Contact VARCHAR(50),
  Department VARCHAR(30),
  [Sub-Department] VARCHAR(30),
  Location VARCHAR(30),
  Telephone VARCHAR(20),
  NetworkId VARCHAR(30),
  NotifyUser BOOLEAN DEFAULT 0
);

CREATE TABLE Items (
  ItemId VARCHAR(20) NOT NULL PRIMARY KEY,
  Description VARCHAR(100),
  ProductType VARCHAR(20),
  Manufacturer VARCHAR(30),
  Model VARCHAR(30),
  SerialNo VARCHAR(30),
  Location VARCHAR(30),
  Department VARCHAR(30),
  UserId VARCHAR(20),
  PurchaseDate DATETIME,
  PurchaseCost CURRENCY
);

CREATE TABLE Item_Configuration (
  ItemId VARCHAR(20) NOT NULL,
  SUBITEMID INTEGER NOT NULL,
  Description VARCHAR(60),
  Details VARCHAR(100),
  SerialNo VARCHAR(30)
);

CREATE TABLE Solutions (
  SolutionId INTEGER NOT NULL PRIMARY KEY,
  Description VARCHAR(100),
  Product VARCHAR(20),
  System VARCHAR(20),
  Problem VARCHAR(255),
  Solution TEXT,  -- TEXT, not MEMO: MEMO would give the column numeric affinity
  Keywords VARCHAR(100),
  Author VARCHAR(50),
  Created DATETIME
);

CREATE TABLE Request_Types (
  RequestType VARCHAR(20) NOT NULL PRIMARY KEY,
  Description VARCHAR(60)
);
CREATE TABLE Priority (
  Priority VARCHAR(20) NOT NULL PRIMARY KEY,
  Description VARCHAR(60),
  ResponseHours INTEGER
);
CREATE TABLE Status (
  Status VARCHAR(20) NOT NULL PRIMARY KEY,
  Description VARCHAR(60)
);
CREATE TABLE System_Codes (
  System VARCHAR(20) NOT NULL PRIMARY KEY,
  Description VARCHAR(60)
);
CREATE TABLE Products (
  Product VARCHAR(20) NOT NULL PRIMARY KEY,
  Description VARCHAR(60),
  ProductType VARCHAR(20)
);
CREATE TABLE Product_Types (
  ProductType VARCHAR(20) NOT NULL PRIMARY KEY,
  Description VARCHAR(60)
);
CREATE TABLE Departments (
  Department VARCHAR(30) NOT NULL PRIMARY KEY,
  Description VARCHAR(60)
);
CREATE TABLE [Sub-Departments] (
  [Sub-Department] VARCHAR(30) NOT NULL PRIMARY KEY,
  Department VARCHAR(30),
  Description VARCHAR(60)
);
CREATE TABLE Locations (
  Location VARCHAR(30) NOT NULL PRIMARY KEY,
  Description VARCHAR(60)
);
CREATE TABLE Work_Groups (
  WorkGroup VARCHAR(30) NOT NULL PRIMARY KEY,
  Description VARCHAR(60)
);
CREATE TABLE Escalation (
  EscalationId VARCHAR(20) NOT NULL PRIMARY KEY,
  Description VARCHAR(60),
  Hours INTEGER
);
CREATE TABLE Resolution_Codes (
  ResolutionCode VARCHAR(20) NOT NULL PRIMARY KEY,
  Description VARCHAR(60)
);
)sql";

// Indexes on what the engine's queries filter, join and sort on. Text keys
// already have one through their PRIMARY KEY.
//
// A request number is unique in each request table, so a second close of one
// request cannot leave two completed rows. Logins allows one entry per user
// id. Activity numbers are not unique: renumbering by date rewrites them one
// row at a time and passes through duplicates.
constexpr char kIndexes[] = R"sql(
CREATE UNIQUE INDEX Current_Requests_RequestNo
  ON Current_Requests (RequestNo);
CREATE INDEX Current_Requests_Personnel
  ON Current_Requests (Personnel, RequestNo);
CREATE UNIQUE INDEX Completed_Requests_RequestNo
  ON Completed_Requests (RequestNo);
CREATE INDEX Request_Activities_RequestNo
  ON Request_Activities (RequestNo, ActNo);
CREATE INDEX Request_AuditTrail_RequestNo
  ON Request_AuditTrail (RequestNo);
CREATE INDEX Survey_RequestNo ON Survey (RequestNo);
CREATE UNIQUE INDEX Logins_UserName ON Logins (UserName);
CREATE INDEX Personnel_UserId ON Personnel (UserId);
CREATE INDEX Item_Configuration_ItemId
  ON Item_Configuration (ItemId, SUBITEMID);
CREATE INDEX Items_ProductType ON Items (ProductType);
CREATE INDEX Items_Manufacturer ON Items (Manufacturer);
CREATE INDEX Items_Location ON Items (Location);
CREATE INDEX Items_Department ON Items (Department);
CREATE INDEX Solutions_Product ON Solutions (Product);
CREATE INDEX Solutions_System ON Solutions (System);
)sql";

}  // namespace

Status SchemaScript(Store store, std::string* out) {
  std::string tables =
      std::string("CREATE TABLE Current_Requests ") + kRequestColumns + ";\n";
  tables +=
      std::string("CREATE TABLE Completed_Requests ") + kRequestColumns + ";\n";
  tables += kOtherTables;
  tables += kActivityPagesTable;
  tables += kIndexes;
  tables += kWebStateTables;
  const std::string layout = std::to_string(Database::kLayoutVersion);
  if (store == Store::kSqlite) {
    *out = "PRAGMA user_version=" + layout + ";\n" +
           AddNocaseToTextColumns(tables);
    return Status();
  }
  std::string script;
  Status status = PostgresSchemaScript(tables, &script);
  if (!status.ok()) return status;
  // The layout is the comment of the schema the tables are made in.
  *out = script +
         "DO $$ BEGIN EXECUTE format('COMMENT ON SCHEMA %I IS %L', "
         "current_schema(), 'kirvs layout " +
         layout + "'); END $$;\n";
  return Status();
}

Status CreateSchema(Database* db) {
  std::string script;
  Status status = SchemaScript(db->store(), &script);
  if (status.ok()) {
    status = db->ExecuteNative(
        (db->store() == Store::kPostgres ? "BEGIN;\n" : "BEGIN IMMEDIATE;\n") +
        script + "COMMIT;\n");
  }
  if (!status.ok()) db->Rollback();
  return status;
}

Status HasTables(Database* db, bool* has) {
  std::unique_ptr<Statement> query;
  Status s = Statement::Prepare(
      *db,
      db->store() == Store::kPostgres
          ? "SELECT COUNT(*) FROM pg_tables WHERE schemaname = current_schema()"
          : "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'",
      &query);
  bool row = false;
  if (s.ok()) s = query->Step(&row);
  *has = s.ok() && row && query->ReadInteger(0) > 0;
  return s;
}

Status DropPostgresHelpDesk(Database* db) {
  // The help desk's tables are those with the hidden rowid; its domains
  // those the schema makes.
  return db->ExecuteNative(
      "DO $$ DECLARE r record; BEGIN "
      "FOR r IN SELECT c.relname FROM pg_class c JOIN pg_attribute a "
      "ON a.attrelid = c.oid WHERE c.relkind = 'r' AND a.attname = 'rowid' "
      "AND c.relnamespace = current_schema()::regnamespace LOOP "
      "EXECUTE format('DROP TABLE %I CASCADE', r.relname); END LOOP; "
      "FOR r IN SELECT typname FROM pg_type WHERE typtype = 'd' AND "
      "typnamespace = current_schema()::regnamespace AND (typname = "
      "'currency' OR typname LIKE 'nocase\\_varchar\\_%') LOOP "
      "EXECUTE format('DROP DOMAIN %I CASCADE', r.typname); END LOOP; END $$");
}

}  // namespace kirvs

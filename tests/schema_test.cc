#include "data/schema.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "data/demo_data.h"
#include "platform/column_types.h"
#include "platform/database.h"
#include "platform/password_hash.h"
#include "platform/sqlite_database.h"
#include "test_support.h"

namespace kirvs {
namespace {

using testing::TempDir;

using Rows = std::vector<std::vector<std::string>>;

// Every row of `sql` as text, NULL as "<null>".
Rows Query(Database* db, const std::string& sql) {
  Rows rows;
  sqlite3_stmt* statement = nullptr;
  EXPECT_EQ(SQLITE_OK, sqlite3_prepare_v2(SqliteDatabase::HandleOf(*db),
                                          sql.c_str(), -1, &statement, nullptr))
      << sql << ": " << sqlite3_errmsg(SqliteDatabase::HandleOf(*db));
  while (statement && sqlite3_step(statement) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      const unsigned char* text = sqlite3_column_text(statement, i);
      row.push_back(text ? reinterpret_cast<const char*>(text) : "<null>");
    }
    rows.push_back(row);
  }
  sqlite3_finalize(statement);
  return rows;
}

std::string One(Database* db, const std::string& sql) {
  Rows rows = Query(db, sql);
  return rows.empty() || rows[0].empty() ? "<none>" : rows[0][0];
}

int Count(Database* db, const std::string& sql) {
  return std::stoi(One(db, sql));
}

std::vector<std::string> ColumnNames(Database* db, const std::string& table) {
  std::vector<std::string> names;
  for (const auto& row : Query(db, "PRAGMA table_info([" + table + "])")) {
    names.push_back(row[1]);
  }
  return names;
}

class SchemaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Database::Create(dir_.File("helpdesk.db"), &db_).ok());
    Status s = CreateSchema(db_.get());
    ASSERT_TRUE(s.ok()) << s.message();
  }

  TempDir dir_;
  std::shared_ptr<Database> db_;
};

TEST_F(SchemaTest, KeysRejectDuplicatesWhereTheEngineNeedsThemUnique) {
  Database* db = db_.get();
  for (const char* table : {"Current_Requests", "Completed_Requests"}) {
    std::string insert =
        std::string("INSERT INTO ") + table + " (RequestNo) VALUES (7)";
    EXPECT_TRUE(db->Execute(insert).ok()) << table;
    EXPECT_FALSE(db->Execute(insert).ok()) << table;
    EXPECT_FALSE(db->Execute(std::string("INSERT INTO ") + table +
                             " (Description) VALUES ('no number')")
                     .ok())
        << table;
  }
  EXPECT_TRUE(db->Execute("INSERT INTO Logins (UserName) VALUES ('ann')").ok());
  EXPECT_FALSE(
      db->Execute("INSERT INTO Logins (UserName) VALUES ('ann')").ok());
  // Renumbering activities by date passes through duplicate numbers.
  EXPECT_TRUE(db->Execute("INSERT INTO Request_Activities (RequestNo, ActNo) "
                          "VALUES (7, 1), (7, 1)")
                  .ok());
}

TEST_F(SchemaTest, CreatingTwiceFailsAndLeavesNoTransactionOpen) {
  EXPECT_FALSE(CreateSchema(db_.get()).ok());
  EXPECT_FALSE(db_->in_transaction());
}

TEST_F(SchemaTest, EngineQueriesSearchByIndexInsteadOfScanning) {
  const char* queries[] = {
      "SELECT * FROM Current_Requests Where Personnel='Ann Archer' ORDER BY 1",
      "SELECT * FROM [Current_Requests] WHERE RequestNo=1001",
      "SELECT * FROM [Completed_Requests] WHERE RequestNo=1001",
      "SELECT * FROM Request_Activities WHERE RequestNo=1001 ORDER BY "
      "[DATE/TIME]",
      "SELECT * FROM [Request_Activities] WHERE RequestNo=1001 AND ActNo=2",
      "SELECT * FROM Request_AuditTrail WHERE RequestNo=1001",
      "SELECT * FROM Logins WHERE UserName='ann'",
      "SELECT * FROM System_Users WHERE UserId='ann'",
      "SELECT * FROM Personnel WHERE UserId='ann'",
      "SELECT * FROM Users WHERE UserId='ann'",
      "SELECT * FROM Counters WHERE FileName='Current_Requests'",
      "SELECT * FROM Options WHERE Option='UserSurveyRequired'",
      "SELECT * FROM Survey WHERE RequestNo=1001",
      "SELECT * FROM Items Where ItemId='LT-0001'",
      "SELECT * FROM Items WHERE Location='Warehouse' ORDER BY ItemId",
      "SELECT * FROM Item_Configuration WHERE ItemId='LT-0001' ORDER BY "
      "SUBITEMID",
      "SELECT * FROM Solutions WHERE Product='VPN' ORDER BY SolutionId DESC",
  };
  for (const char* query : queries) {
    std::string plan;
    for (const auto& row :
         Query(db_.get(), std::string("EXPLAIN QUERY PLAN ") + query)) {
      plan += row.back() + "; ";
    }
    EXPECT_EQ(std::string::npos, plan.find("SCAN")) << query << "\n" << plan;
  }
}

class SchemaDemoDataTest : public SchemaTest {
 protected:
  void SetUp() override {
    SchemaTest::SetUp();
    Status s = FillDemoData(db_.get(), 1);
    ASSERT_TRUE(s.ok()) << s.message();
  }
};

TEST_F(SchemaDemoDataTest, EveryStaffMemberCanLogInAndHasAProfile) {
  Database* db = db_.get();
  ASSERT_GE(std::size(kDemoStaff), 3u);
  for (const DemoStaff& staff : kDemoStaff) {
    std::string id(staff.user_id);
    Rows account =
        Query(db, "SELECT * FROM System_Users WHERE UserId='" + id + "'");
    ASSERT_EQ(1u, account.size()) << id;
    EXPECT_TRUE(account[0][1].starts_with("$argon2id$v=19$m=19456,t=2,")) << id;
    EXPECT_TRUE(VerifyPassword(account[0][1], staff.password)) << id;
    Rows person =
        Query(db, "SELECT * FROM Personnel WHERE UserId='" + id + "'");
    ASSERT_EQ(1u, person.size()) << id;
    EXPECT_EQ(staff.name, person[0][0]) << id;
    EXPECT_EQ(staff.work_group, person[0][1]) << id;
    EXPECT_EQ(id, person[0][4]) << id;
    EXPECT_EQ(
        1, Count(db, "SELECT count(*) FROM Users WHERE UserId='" + id + "'"));
    EXPECT_EQ(1,
              Count(db, "SELECT count(*) FROM Work_Groups WHERE WorkGroup='" +
                            std::string(staff.work_group) + "'"));
  }
  EXPECT_EQ(0, Count(db, "SELECT count(*) FROM Logins"));
}

TEST_F(SchemaDemoDataTest, CodedValuesExistInTheirCodeTables) {
  Database* db = db_.get();
  for (const CodeTable& code : kCodeTables) {
    std::string table(code.table), column(code.column);
    EXPECT_GT(Count(db, "SELECT count(*) FROM [" + table + "]"), 0) << table;
    for (const char* data : {"Current_Requests", "Completed_Requests", "Items",
                             "Solutions", "Users", "Products"}) {
      std::vector<std::string> names = ColumnNames(db, data);
      if (std::find(names.begin(), names.end(), column) == names.end())
        continue;
      Rows strays = Query(db, "SELECT DISTINCT [" + column + "] FROM " + data +
                                  " WHERE [" + column + "] IS NOT NULL AND [" +
                                  column + "] NOT IN (SELECT [" + column +
                                  "] FROM [" + table + "])");
      EXPECT_TRUE(strays.empty())
          << data << "." << column << ": " << strays[0][0];
    }
  }
}

TEST_F(SchemaDemoDataTest, NoRowBreaksWhatTheEngineAssumes) {
  std::vector<std::string> violations = {
      // Every open request is on somebody's list.
      "SELECT count(*) FROM Current_Requests WHERE Personnel IS NULL OR "
      "Personnel NOT IN (SELECT Name FROM Personnel) OR Status = 'Closed'",
      "SELECT count(*) FROM Completed_Requests WHERE Status IS NOT 'Closed' "
      "OR Completed IS NULL OR Completed <= Requested OR LeadTime <= 0 OR "
      "DownTime IS NOT (CASE WHEN DownFlag THEN LeadTime ELSE 0 END)",
      // Cost and hours as closing sums them from the activities.
      "SELECT count(*) FROM Completed_Requests r WHERE abs(r.RequestCost - "
      "(SELECT total(Duration * ChargeRate) FROM Request_Activities a WHERE "
      "a.RequestNo = r.RequestNo)) > 1e-9 OR abs(r.HoursWorked - (SELECT "
      "total(Duration) FROM Request_Activities a WHERE a.RequestNo = "
      "r.RequestNo)) > 1e-9",
      "SELECT count(*) FROM Current_Requests WHERE RequestNo IN "
      "(SELECT RequestNo FROM Completed_Requests)",
      "SELECT count(*) FROM Counters WHERE FileName = 'Current_Requests' AND "
      "LastNumber < (SELECT max(RequestNo) FROM (SELECT RequestNo FROM "
      "Current_Requests UNION ALL SELECT RequestNo FROM Completed_Requests))",
      // Activities are numbered 1, 2, ... in date order, as renumbering
      // leaves them.
      "SELECT count(*) FROM (SELECT ActNo, row_number() OVER (PARTITION BY "
      "RequestNo ORDER BY [Date/Time]) AS n FROM Request_Activities) "
      "WHERE ActNo <> n",
      "SELECT count(*) FROM Survey WHERE RequestNo NOT IN "
      "(SELECT RequestNo FROM Completed_Requests)",
      "SELECT count(*) FROM Item_Configuration WHERE ItemId NOT IN "
      "(SELECT ItemId FROM Items)",
      "SELECT count(*) FROM Items WHERE ItemId NOT IN "
      "(SELECT ItemId FROM Item_Configuration)",
      "SELECT count(*) FROM Current_Requests WHERE NotifyUser NOT IN (0, 1) "
      "OR DownFlag NOT IN (0, 1)",
  };
  // Dates are stored the way the record source writes them.
  const std::string kStoredDate =
      "'[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] "
      "[0-2][0-9]:[0-5][0-9]:[0-5][0-9]'";
  for (auto [table, column] : {std::pair{"Current_Requests", "Requested"},
                               {"Current_Requests", "Allocated"},
                               {"Current_Requests", "Scheduled"},
                               {"Completed_Requests", "Requested"},
                               {"Completed_Requests", "Completed"},
                               {"Request_Activities", "[Date/Time]"},
                               {"Request_AuditTrail", "EntryTime"},
                               {"Items", "PurchaseDate"},
                               {"Solutions", "Created"},
                               {"Survey", "SurveyDate"}}) {
    violations.push_back(std::string("SELECT count(*) FROM ") + table +
                         " WHERE NOT (" + column + " GLOB " + kStoredDate +
                         ")");
  }
  for (const std::string& query : violations) {
    EXPECT_EQ(0, Count(db_.get(), query)) << query;
  }
}

TEST_F(SchemaDemoDataTest, FailedFillLeavesTheDatabaseAsItWas) {
  int before = Count(db_.get(), "SELECT count(*) FROM Current_Requests");
  EXPECT_FALSE(FillDemoData(db_.get(), 1).ok());  // duplicate keys
  EXPECT_FALSE(db_->in_transaction());
  EXPECT_EQ(before, Count(db_.get(), "SELECT count(*) FROM Current_Requests"));
  EXPECT_FALSE(FillDemoData(db_.get(), 0).ok());
}

// The whole content of the help desk's tables, in a fixed order; password
// hashes, whose salts are random, as "<hash>".
std::string Dump(Database* db) {
  std::string dump;
  for (const auto& table : Query(db,
                                 "SELECT name FROM sqlite_schema WHERE "
                                 "type='table' ORDER BY name")) {
    for (const auto& row :
         Query(db, "SELECT * FROM [" + table[0] + "] ORDER BY rowid")) {
      for (const auto& value : row) {
        dump += (LooksLikePasswordHash(value) ? "<hash>" : value) + "|";
      }
      dump += "\n";
    }
  }
  return dump;
}

TEST(SchemaDemoScaleTest, SameScaleSameDataAndScaleMultipliesRows) {
  TempDir dir;
  std::shared_ptr<Database> one, again, triple;
  for (auto [db, name, scale] :
       {std::tuple{&one, "one.db", 1}, std::tuple{&again, "again.db", 1},
        std::tuple{&triple, "triple.db", 3}}) {
    ASSERT_TRUE(Database::Create(dir.File(name), db).ok());
    ASSERT_TRUE(CreateSchema(db->get()).ok());
    Status s = FillDemoData(db->get(), scale);
    ASSERT_TRUE(s.ok()) << s.message();
  }
  EXPECT_EQ(Dump(one.get()), Dump(again.get()));

  for (const char* table : {"Current_Requests", "Completed_Requests", "Items",
                            "Solutions", "Item_Configuration"}) {
    std::string count = std::string("SELECT count(*) FROM ") + table;
    EXPECT_EQ(3 * Count(one.get(), count), Count(triple.get(), count)) << table;
  }
  EXPECT_GT(Count(triple.get(), "SELECT count(*) FROM Request_Activities"),
            2 * Count(one.get(), "SELECT count(*) FROM Request_Activities"));
  EXPECT_EQ(3 * Count(one.get(),
                      "SELECT count(*) FROM Current_Requests WHERE "
                      "Personnel='Ann Archer'"),
            Count(triple.get(),
                  "SELECT count(*) FROM Current_Requests WHERE "
                  "Personnel='Ann Archer'"));
  EXPECT_EQ(Count(triple.get(), "SELECT max(RequestNo) FROM Current_Requests"),
            Count(triple.get(), "SELECT LastNumber FROM Counters"));
  EXPECT_EQ("ok", One(triple.get(), "PRAGMA integrity_check"));
}

}  // namespace
}  // namespace kirvs

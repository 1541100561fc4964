#include "data/schema.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/init_command.h"
#include "data/demo_data.h"
#include "data/postgres_schema.h"
#include "platform/database.h"
#include "platform/record_source.h"
#include "test_support.h"

namespace kirvs {
namespace {

using namespace testing;  // the helpers of test_support.h

// The first value of `sql` as a number.
int Count(const std::string& db_path, const std::string& sql) {
  return std::stoi(testing::QueryValue(db_path, sql));
}

// The help desk's schema in a new database of store(): a file in a
// temporary folder, or a PostgresSchema.
class SchemaFixture : public ::testing::Test {
 protected:
  virtual Store store() const { return Store::kSqlite; }
  // Fills the schema; nothing by default.
  virtual Status Fill() { return Status(); }

  void SetUp() override {
    if (store() == Store::kPostgres) {
      postgres_ = std::make_unique<testing::PostgresSchema>();
      if (postgres_->uri().empty()) GTEST_SKIP() << testing::kNoPostgres;
      path_ = postgres_->uri();
    }
    ASSERT_TRUE(Database::Create(path_, &db_).ok());
    Status s = CreateSchema(db_.get());
    if (s.ok()) s = Fill();
    ASSERT_TRUE(s.ok()) << s.message();
  }

  TempDir dir_;
  std::unique_ptr<testing::PostgresSchema> postgres_;
  std::string path_ = dir_.File("helpdesk.db");
  std::shared_ptr<Database> db_;
};

// SchemaFixture on each store.
class SchemaTest : public SchemaFixture,
                   public ::testing::WithParamInterface<Store> {
 protected:
  Store store() const override { return GetParam(); }
};

// SchemaFixture with twice the demo desk's rows, so that what scaling adds
// keeps the rules too.
class SqliteDemoDataTest : public SchemaFixture {
 protected:
  Status Fill() override { return FillDemoData(db_.get(), 2); }
};

TEST_P(SchemaTest, KeysRejectDuplicatesWhereTheEngineNeedsThemUnique) {
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
  // User names compare ignoring case.
  EXPECT_TRUE(db->Execute("INSERT INTO Logins (UserName) VALUES ('ann')").ok());
  EXPECT_FALSE(
      db->Execute("INSERT INTO Logins (UserName) VALUES ('ANN')").ok());
  EXPECT_EQ("1", QueryValue(path_,
                            "SELECT COUNT(*) FROM Logins "
                            "WHERE UserName = 'Ann'"));
  // Renumbering activities by date passes through duplicate numbers.
  EXPECT_TRUE(db->Execute("INSERT INTO Request_Activities (RequestNo, ActNo) "
                          "VALUES (7, 1), (7, 1)")
                  .ok());
}

TEST_F(SchemaFixture, EngineQueriesSearchByIndexInsteadOfScanning) {
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
         testing::QuerySql(path_, std::string("EXPLAIN QUERY PLAN ") + query)) {
      plan += row.back() + "; ";
    }
    EXPECT_EQ(std::string::npos, plan.find("SCAN")) << query << "\n" << plan;
  }
}

// The select lists of a page mark the stored code only when it is listed.
TEST_F(SqliteDemoDataTest, CodedValuesExistInTheirCodeTables) {
  for (const CodeTable& code : kCodeTables) {
    const std::string table(code.table), column(code.column);
    EXPECT_GT(Count(path_, "SELECT count(*) FROM [" + table + "]"), 0) << table;
    for (const char* data : {"Current_Requests", "Completed_Requests", "Items",
                             "Solutions", "Users", "Products"}) {
      if (Count(path_, "SELECT count(*) FROM pragma_table_info('" +
                           std::string(data) + "') WHERE name = '" + column +
                           "'") == 0) {
        continue;
      }
      EXPECT_EQ(0, Count(path_, "SELECT count(*) FROM " + std::string(data) +
                                    " WHERE [" + column + "] NOT IN (SELECT [" +
                                    column + "] FROM [" + table + "])"))
          << data << "." << column;
    }
  }
}

TEST_F(SqliteDemoDataTest, NoRowBreaksWhatTheEngineAssumes) {
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
    EXPECT_EQ(0, Count(path_, query)) << query;
  }
}

TEST_P(SchemaTest, AFailedCreateOrFillLeavesTheDatabaseAsItWas) {
  EXPECT_FALSE(CreateSchema(db_.get()).ok());
  EXPECT_FALSE(db_->in_transaction());
  ASSERT_TRUE(FillDemoData(db_.get(), 2).ok());
  int before = Count(path_, "SELECT count(*) FROM Current_Requests");
  EXPECT_FALSE(FillDemoData(db_.get(), 2).ok());  // duplicate keys
  EXPECT_FALSE(db_->in_transaction());
  EXPECT_EQ(before, Count(path_, "SELECT count(*) FROM Current_Requests"));
  EXPECT_FALSE(FillDemoData(db_.get(), 0).ok());
}

// A lone minus is a sign, not the start of a comment: the columns after it
// are still translated.
TEST(PostgresSchemaScriptTest, OnlyTwoMinusesStartAComment) {
  std::string out;
  ASSERT_TRUE(
      PostgresSchemaScript("CREATE TABLE T (A INTEGER DEFAULT -1, -- a\n"
                           "  [B-C] TEXT);",
                           &out)
          .ok());
  EXPECT_NE(std::string::npos, out.find("\"B-C\" citext")) << out;
  EXPECT_NE(std::string::npos, out.find("-- a\n")) << out;
}

// PostgreSQL gets every table of the SQLite schema, columns in the same
// order with the same names, type codes and sizes; and `kirvs init
// --database` refuses a database that has tables unless --force.
TEST_F(SchemaFixture, PostgresHasTheSameTablesColumnsAndTypes) {
  testing::PostgresSchema schema;
  if (schema.uri().empty()) GTEST_SKIP() << testing::kNoPostgres;
  std::shared_ptr<Database> postgres;
  Status s = Database::Create(schema.uri(), &postgres);
  if (s.ok()) s = CreateSchema(postgres.get());
  ASSERT_TRUE(s.ok()) << s.message();
  const auto tables =
      QuerySql(dir_.File("helpdesk.db"),
               "SELECT name FROM sqlite_master WHERE type = 'table'");
  ASSERT_GT(tables.size(), 20u);
  for (const auto& table : tables) {
    const std::string query = "SELECT * FROM [" + table[0] + "]";
    std::unique_ptr<RecordSource> lite, pg;
    ASSERT_TRUE(RecordSource::Open(db_, query, OpenMode::kRead, &lite).ok());
    s = RecordSource::Open(postgres, query, OpenMode::kRead, &pg);
    ASSERT_TRUE(s.ok()) << table[0] << ": " << s.message();
    ASSERT_EQ(lite->field_count(), pg->field_count()) << table[0];
    for (int i = 0; i < lite->field_count(); ++i) {
      const FieldInfo& a = lite->field(i);
      const FieldInfo& b = pg->field(i);
      EXPECT_EQ(a.name + " " + std::to_string(a.type_code) + "/" +
                    std::to_string(a.defined_size),
                b.name + " " + std::to_string(b.type_code) + "/" +
                    std::to_string(b.defined_size))
          << table[0];
    }
  }
  EXPECT_TRUE(
      postgres->Execute("INSERT INTO Logins (UserName) VALUES ('ann')").ok());
  InitOptions options{.dir = dir_.File("desk"), .database = schema.uri()};
  std::ostringstream output, errors;
  EXPECT_EQ(1, RunInit(options, output, errors));
  EXPECT_NE(std::string::npos, errors.str().find("already has tables"))
      << errors.str();
  options.force = true;
  EXPECT_EQ(0, RunInit(options, output, errors)) << errors.str();
  EXPECT_EQ("0", QueryValue(schema.uri(), "SELECT COUNT(*) FROM Logins"));
}

KIRVS_ON_EVERY_STORE(SchemaTest);

}  // namespace
}  // namespace kirvs

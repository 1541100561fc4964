// Upgrading a help desk made by the previous release (tests/fixtures:
// `kirvs init --demo` of that release, bob signed in) and the refusal of
// layouts that this release does not know.

#include "data/upgrade.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "data/schema.h"
#include "platform/database.h"
#include "platform/postgres_database.h"
#include "platform/settings_file.h"
#include "test_support.h"

namespace kirvs {
namespace {

using namespace testing;  // the helpers of test_support.h

std::vector<std::string> Tables(const std::string& db) {
  std::vector<std::string> names;
  for (const auto& row : QuerySql(db,
                                  "SELECT name FROM sqlite_master WHERE "
                                  "type='table' ORDER BY name")) {
    names.push_back(row[0]);
  }
  return names;
}

// Every column of every table as "name declared-type collation", in order.
std::map<std::string, std::vector<std::string>> Layout(const std::string& db) {
  std::map<std::string, std::vector<std::string>> layout;
  sqlite3* handle = nullptr;
  sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
  for (const std::string& table : Tables(db)) {
    for (const auto& column :
         QuerySql(db, "PRAGMA table_info(\"" + table + "\")")) {
      const char* collation = "";
      sqlite3_table_column_metadata(handle, nullptr, table.c_str(),
                                    column[1].c_str(), nullptr, &collation,
                                    nullptr, nullptr, nullptr);
      layout[table].push_back(column[1] + " " + column[2] + " " + collation);
    }
  }
  sqlite3_close(handle);
  return layout;
}

// Every row of every table, passwords left out.
std::map<std::string, Rows> Content(const std::string& db) {
  std::map<std::string, Rows> content;
  for (const std::string& table : Tables(db)) {
    Rows rows = QuerySql(db, "SELECT * FROM \"" + table + "\" ORDER BY rowid");
    if (table == "System_Users") {
      for (auto& row : rows) row[1] = "<password>";
    }
    content[table] = rows;
  }
  return content;
}

class UpgradeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy_file(
        std::string(KIRVS_FIXTURES) + "/previous_release_demo.db", db_);
    ASSERT_TRUE(WriteIniString(ini_, "Settings", "DBPath", db_).ok());
  }

  TempDir dir_;
  const std::string db_ = dir_.File("helpdesk.db");
  const std::string ini_ = dir_.File("KIRVS.INI");
};

TEST_F(UpgradeTest, KeepsEveryRowAndColumnAndReachesTheCurrentLayout) {
  const auto before = Content(db_);
  testing::ProgramRun run = RunKirvs({"user", "list", "--ini", ini_});
  EXPECT_EQ(1, run.exit_code);
  EXPECT_NE(std::string::npos, run.err.find("run `kirvs upgrade` first"))
      << run.err;

  run = RunKirvs({"upgrade", "--ini", ini_});
  ASSERT_EQ(0, run.exit_code) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("hashed passwords: 4")) << run.out;
  EXPECT_EQ("2", QueryValue(db_, "PRAGMA user_version"));

  // Every row as it was, in the same order; what the current layout adds
  // comes at the end (System_Users.LastLogin, User_Factors).
  const auto after = Content(db_);
  for (const auto& [table, rows] : before) {
    ASSERT_EQ(rows.size(), after.at(table).size()) << table;
    for (size_t i = 0; i < rows.size(); ++i) {
      const auto& row = after.at(table)[i];
      EXPECT_EQ(rows[i], std::vector(row.begin(), row.begin() + rows[i].size()))
          << table;
    }
  }
  // The same layout, collations included, as a help desk made by this
  // release.
  const std::string fresh = dir_.File("fresh.db");
  {
    std::shared_ptr<Database> db;
    ASSERT_TRUE(Database::Create(fresh, &db).ok());
    ASSERT_TRUE(CreateSchema(db.get()).ok());
  }
  EXPECT_EQ(Layout(fresh), Layout(db_));
  const char* indexes =
      "SELECT name, tbl_name FROM sqlite_master WHERE type='index' ORDER BY 1";
  EXPECT_EQ(QuerySql(fresh, indexes), QuerySql(db_, indexes));

  // Passwords became hashes that admit their owners; text ignores case.
  EXPECT_EQ("", testing::LogInError(ini_, "BOB", "bob123"));
  EXPECT_EQ("1", QueryValue(db_,
                            "SELECT count(*) FROM Current_Requests WHERE "
                            "Personnel='ANN ARCHER' AND Priority='2-high' "
                            "AND Description LIKE '%vpn%'"));

  // A second run finds nothing to do and changes nothing.
  const auto signed_in = Content(db_);
  run = RunKirvs({"upgrade", "--ini", ini_});
  EXPECT_EQ(0, run.exit_code) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("already has the current layout"));
  EXPECT_TRUE(signed_in == Content(db_));
}

TEST_F(UpgradeTest, CaseTwinsMergeInLoginsAndStopTheUpgradeElsewhere) {
  ExecSql(db_,
          "DELETE FROM Logins; INSERT INTO Logins (UserName, LoginTime) "
          "VALUES ('ann', '2026-01-02 10:00:00'), "
          "('ANN', '2026-01-01 10:00:00'), ('Bob', NULL), ('bob', NULL)");
  ExecSql(db_,
          "INSERT INTO System_Users (UserId, Password) VALUES "
          "('ANN', 'x')");
  UpgradeReport report;
  Status s = UpgradeDatabase(db_, &report);
  ASSERT_FALSE(s.ok());
  EXPECT_NE(std::string::npos, s.message().find("System_Users")) << s.message();
  EXPECT_EQ("0", QueryValue(db_, "PRAGMA user_version"));
  EXPECT_EQ("4", QueryValue(db_, "SELECT count(*) FROM Logins"));
  EXPECT_EQ("bob123", QueryValue(db_,
                                 "SELECT Password FROM System_Users "
                                 "WHERE UserId='bob'"));

  ExecSql(db_, "DELETE FROM System_Users WHERE UserId='ANN'");
  s = UpgradeDatabase(db_, &report);
  ASSERT_TRUE(s.ok()) << s.message();
  EXPECT_EQ(2, report.merged_login_entries);
  EXPECT_EQ((Rows{{"ann", "2026-01-02 10:00:00"}, {"bob", "NULL"}}),
            QuerySql(db_, "SELECT UserName, LoginTime FROM Logins ORDER BY 1"));
}

// A layout newer than this release is refused, on either store, by the
// first connection the engine opens, and left as it is.
class NewerLayoutTest : public ::testing::TestWithParam<Store> {};

TEST_P(NewerLayoutTest, IsRefusedAndLeftAsItIs) {
  HelpDeskFixture desk("", GetParam());
  if (!desk.available()) GTEST_SKIP() << kNoPostgres;
  const int newer = Database::kLayoutVersion + 1;
  std::shared_ptr<Database> db;
  ASSERT_TRUE(Database::Create(desk.db_path(), &db).ok());
  ASSERT_TRUE(db->ExecuteNative(
                    GetParam() == Store::kSqlite
                        ? "PRAGMA user_version = " + std::to_string(newer)
                        : "DO $$ BEGIN EXECUTE format('COMMENT ON SCHEMA %I "
                          "IS %L', current_schema(), 'kirvs layout " +
                              std::to_string(newer) + "'); END $$")
                  .ok());
  db.reset();
  ClosePostgresConnections(desk.db_path());
  Status s = Database::Open(desk.db_path(), &db);
  EXPECT_NE(std::string::npos,
            s.message().find("has layout version " + std::to_string(newer) +
                             ", made by a newer release"))
      << s.message();
  UpgradeReport report;
  EXPECT_FALSE(UpgradeDatabase(desk.db_path(), &report).ok());
  int version = 0;
  ASSERT_TRUE(Database::Create(desk.db_path(), &db).ok());
  ASSERT_TRUE(db->LayoutVersion(&version).ok());
  EXPECT_EQ(newer, version);
}

KIRVS_ON_EVERY_STORE(NewerLayoutTest);

}  // namespace
}  // namespace kirvs

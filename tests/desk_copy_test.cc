// `kirvs copy`: a desk moved SQLite -> PostgreSQL -> SQLite comes back
// identical, both copies giving the golden pages, and a copy that is refused
// or fails leaves its target as it was.

#include "data/desk_copy.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "cli/copy_command.h"
#include "cli/init_command.h"
#include "data/request_finder.h"
#include "platform/settings_file.h"
#include "test_support.h"

namespace kirvs {
namespace {

using testing::ExecSql;
using testing::QuerySql;

// Every row of every help-desk table of `db_path`, in stored order; the
// table names come from the SQLite desk `names_from`.
std::string Dump(const std::string& db_path, const std::string& names_from) {
  std::string dump;
  for (const auto& table :
       QuerySql(names_from,
                "SELECT name FROM sqlite_master WHERE type = 'table' AND "
                "name NOT LIKE 'Request_Words%' ORDER BY name")) {
    dump += "== " + table[0] + "\n";
    for (const auto& row :
         QuerySql(db_path, "SELECT * FROM [" + table[0] + "] ORDER BY rowid")) {
      for (const std::string& value : row) dump += value + "|";
      dump += "\n";
    }
  }
  return dump;
}

// A row that a copy cannot store: a duplicate login, the source having lost
// its unique index.
const char kTwoLoginsOfOneUser[] =
    "DROP INDEX Logins_UserName; INSERT INTO Logins (UserName) "
    "VALUES ('twice'), ('twice')";

Status Copy(const std::string& from, const std::string& to, bool replace,
            DeskCopyReport* report) {
  std::shared_ptr<Database> source, target;
  Status s = Database::Open(from, &source);
  if (s.ok()) s = Database::Create(to, &target);
  if (s.ok()) s = CopyDesk(source.get(), target.get(), replace, report);
  return s;
}

TEST(DeskCopyTest, SqliteToPostgresAndBackGivesIdenticalTables) {
  testing::PostgresSchema middle;
  if (middle.uri().empty()) GTEST_SKIP() << testing::kNoPostgres;
  testing::DemoDesk desk;
  ExecSql(desk.db_path(),
          "INSERT INTO Logins (UserName, LoginTime) VALUES "
          "('ann', '2025-03-01 09:00:00'), ('bob', NULL)");
  ASSERT_TRUE(EnsureRequestWords(desk.ini_path()).ok());
  DeskCopyReport there, back;
  Status s = Copy(desk.db_path(), middle.uri(), false, &there);
  ASSERT_TRUE(s.ok()) << s.message();
  EXPECT_EQ(1u, std::count(there.skipped.begin(), there.skipped.end(),
                           "Request_Words"));
  EXPECT_EQ(std::make_pair(std::string("Current_Requests"), int64_t{24}),
            there.tables[0]);
  // Numbering goes on after the copied numbers.
  ExecSql(middle.uri(), "INSERT INTO Logins (UserName) VALUES ('carol')");
  EXPECT_EQ("3", testing::QueryValue(
                     middle.uri(),
                     "SELECT LoginId FROM Logins WHERE UserName = 'carol'"));
  ExecSql(middle.uri(), "DELETE FROM Logins WHERE UserName = 'carol'");

  const std::string copy = desk.dir().File("back.db");
  s = Copy(middle.uri(), copy, false, &back);
  ASSERT_TRUE(s.ok()) << s.message();
  EXPECT_EQ(there.tables, back.tables);
  EXPECT_EQ(Dump(desk.db_path(), desk.db_path()), Dump(copy, desk.db_path()));
  // The same schema, indexes and find index as the desk that init made.
  const char* schema =
      "SELECT type, name, sql FROM sqlite_master ORDER BY type, name";
  EXPECT_EQ(QuerySql(desk.db_path(), schema), QuerySql(copy, schema));
  // Both copies give the golden pages once DBPath names them.
  for (const std::string& db : {middle.uri(), copy}) {
    testing::TempDir dir;
    const std::string ini = dir.File(kSettingsFileName);
    std::filesystem::copy_file(desk.ini_path(), ini);
    ASSERT_TRUE(WriteIniString(ini, "Settings", "DBPath", db).ok());
    testing::ExpectGoldenWalk(ini, db, dir.path());
  }
}

// A target that holds a desk: refused without --force; with it, a row the
// target refuses (a duplicate login where the source lost its unique
// index) undoes the whole copy, the dropped tables included.
class DeskCopyFailureTest : public ::testing::TestWithParam<Store> {};

KIRVS_ON_EVERY_STORE(DeskCopyFailureTest);

TEST_P(DeskCopyFailureTest, LeavesTheTargetAsItWas) {
  testing::DemoDesk target(GetParam());
  if (!target.available()) GTEST_SKIP() << testing::kNoPostgres;
  testing::DemoDesk source;
  ExecSql(source.db_path(), kTwoLoginsOfOneUser);
  ExecSql(target.db_path(), "UPDATE Counters SET LastNumber = 5000");
  const std::string before = Dump(target.db_path(), source.db_path());

  DeskCopyReport report;
  Status s = Copy(source.db_path(), target.db_path(), false, &report);
  EXPECT_NE(std::string::npos, s.message().find("--force replaces them"))
      << s.message();
  s = Copy(source.db_path(), target.db_path(), true, &report);
  EXPECT_EQ(0u, s.message().find("Logins, row 2: ")) << s.message();
  EXPECT_TRUE(report.tables.empty());
  EXPECT_EQ(before, Dump(target.db_path(), source.db_path()));
}

// The command: a folder stands for its desk; a new file goes again when
// the copy fails; a desk is never copied onto itself.
TEST(CopyCommandTest, FoldersFilesAndRefusals) {
  testing::DemoDesk desk;
  const std::string folder = desk.dir().path();
  const std::string copy = desk.dir().File("copy.db");
  struct Case {
    std::string from, to;
    int exit_code;
    std::string said;
  } cases[] = {
      {folder, desk.db_path(), 1, "one database"},
      {desk.dir().File("none"), copy, 1, "unable to open"},
      {folder, copy, 0, "  Current_Requests: 24 rows\n"},
      {folder, copy, 1, "--force replaces them"},
  };
  for (const Case& c : cases) {
    std::ostringstream output, errors;
    EXPECT_EQ(c.exit_code, RunCopy({c.from, c.to, false}, output, errors))
        << c.from << " -> " << c.to << ": " << errors.str();
    EXPECT_NE(std::string::npos, (output.str() + errors.str()).find(c.said))
        << output.str() << errors.str();
  }
  ExecSql(desk.db_path(), kTwoLoginsOfOneUser);
  std::filesystem::remove(copy);
  std::ostringstream output, errors;
  EXPECT_EQ(1, RunCopy({folder, copy, false}, output, errors));
  EXPECT_FALSE(std::filesystem::exists(copy));
}

}  // namespace
}  // namespace kirvs

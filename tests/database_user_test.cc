// A desk on PostgreSQL works for a database user that may only read and
// write its tables (the tables, indexes and find index made once by init):
// sign in, a new activity saved from its page, the find box.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>

#include "data/request_finder.h"
#include "kirvs/session.h"
#include "platform/postgres_database.h"
#include "platform/settings_file.h"
#include "test_support.h"

namespace kirvs {
namespace {

using testing::Call;
using testing::Form;

TEST(DatabaseUserTest, ReadAndWriteRightsServeADesk) {
  testing::DemoDesk desk(Store::kPostgres);
  if (!desk.available()) GTEST_SKIP() << testing::kNoPostgres;
  const std::string role = "kirvs_web_" + std::to_string(getpid());
  std::shared_ptr<Database> owner;
  ASSERT_TRUE(Database::Open(desk.db_path(), &owner).ok());
  Status s = owner->ExecuteNative(
      "CREATE ROLE " + role +
      " LOGIN; DO $$ BEGIN EXECUTE format('GRANT USAGE ON SCHEMA %I TO " +
      role + "; GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN " +
      "SCHEMA %I TO " + role +
      "', current_schema(), current_schema()); END $$");
  ASSERT_TRUE(s.ok()) << s.message();
  std::string uri = desk.db_path();
  uri.replace(uri.find("://") + 3, uri.find('@') - uri.find("://") - 3, role);
  testing::TempDir dir;
  const std::string ini = dir.File("KIRVS.INI");
  std::filesystem::copy_file(desk.ini_path(), ini);
  ASSERT_TRUE(WriteIniString(ini, "Settings", "DBPath", uri).ok());

  KIRVSession session(ini);
  EXPECT_TRUE(Call(session, "Login",
                   Form({{"txtUserID", "ann"}, {"txtPassword", "ann123"}})));
  EXPECT_TRUE(
      Call(session, "Add Activity", Variant("1018"), Variant("Ann Archer")));
  std::smatch id;
  const std::string page = session.HTMLString().ToText();
  ASSERT_TRUE(std::regex_search(
      page, id, std::regex("name=KIRVSActivityPage value=(\\w+)>")));
  EXPECT_TRUE(Call(session, "Save Activity",
                   Form({{"requestno", "1018"},
                         {"actno", "3"},
                         {"KIRVSNewActivity", "1"},
                         {"KIRVSActivityPage", id[1].str()},
                         {"Personnel", "Ann Archer"},
                         {"Description", "Checked the cable"},
                         {"KIRVSCurrentUser", "ann"}}),
                   Variant("1018")))
      << session.ErrorDescription().ToText();
  s = EnsureRequestWords(ini);
  EXPECT_TRUE(s.ok()) << s.message();
  ListedPage found;
  s = FindRequests(ini, "printer", {}, 0, 10, &found);
  EXPECT_TRUE(s.ok() && !found.rows.empty()) << s.message();

  ClosePostgresConnections(uri);
  s = owner->ExecuteNative("DROP OWNED BY " + role + "; DROP ROLE " + role);
  EXPECT_TRUE(s.ok()) << s.message();
}

}  // namespace
}  // namespace kirvs

// The accounts of System_Users as the tools around the engine read them.

#include "data/system_users.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "data/text_collation.h"
#include "test_support.h"

namespace kirvs {
namespace {

using ::kirvs::testing::ExecSql;
using ::kirvs::testing::HelpDeskFixture;

class SystemUsersTest : public ::testing::TestWithParam<Store> {};

KIRVS_ON_EVERY_STORE(SystemUsersTest);

TEST_P(SystemUsersTest, FindsTheEntryOfAUser) {
  // Ids compare ignoring case, as on a desk that `kirvs init` makes (on
  // PostgreSQL every VARCHAR does).
  const std::string accounts =
      "CREATE TABLE System_Users (UserId VARCHAR(20), Password VARCHAR(30), "
      "FullName VARCHAR(50), Email VARCHAR(60));"
      "INSERT INTO System_Users VALUES ('ann', 'pw', 'Ann Archer', NULL);"
      "INSERT INTO System_Users VALUES ('o''neil', NULL, 'Oz Neil', NULL);";
  HelpDeskFixture desk(GetParam() == Store::kSqlite
                           ? AddNocaseToTextColumns(accounts)
                           : accounts,
                       GetParam());
  if (!desk.available()) GTEST_SKIP() << testing::kNoPostgres;
  std::optional<UserEntry> entry;
  ASSERT_TRUE(FindUserEntry(desk.ini_path(), "ANN", &entry).ok());
  ASSERT_TRUE(entry);
  EXPECT_EQ("ann", entry->user_id);
  EXPECT_EQ("pw", entry->password);
  EXPECT_EQ("Ann Archer", entry->full_name);

  // A quote in the id is text, and a null password is no password.
  ASSERT_TRUE(FindUserEntry(desk.ini_path(), "o'neil", &entry).ok());
  ASSERT_TRUE(entry);
  EXPECT_EQ(std::nullopt, entry->password);

  ASSERT_TRUE(FindUserEntry(desk.ini_path(), "x' OR '1'='1", &entry).ok());
  EXPECT_FALSE(entry);

  ExecSql(desk.db_path(), "DROP TABLE System_Users");
  EXPECT_FALSE(FindUserEntry(desk.ini_path(), "ann", &entry).ok());
  EXPECT_FALSE(entry);
}

}  // namespace
}  // namespace kirvs

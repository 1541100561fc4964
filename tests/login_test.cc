// Signing in and out, the request list and the request display, through the
// session object as a front calls it.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "data/text_collation.h"
#include "kirvs/session.h"
#include "kirvs/submitted_form.h"
#include "platform/database.h"
#include "platform/password_hash.h"
#include "platform/settings_file.h"
#include "test_support.h"

namespace kirvs {
namespace {

using namespace testing;  // the helpers of test_support.h

const char kDeskSql[] = R"sql(
CREATE TABLE System_Users (UserId VARCHAR(20), Password VARCHAR(20),
  LastLogin DATETIME);
INSERT INTO System_Users (UserId, Password) VALUES ('ann', 'pw'), ('o''brien', 'pw2'),
  ('nopass', NULL), ('noprofile', 'x'), ('bob', 'bob '), ('empty', ''),
  ('garbage', '$argon2id$garbage');
CREATE TABLE Personnel (Name VARCHAR(30), WorkGroup VARCHAR(20),
  Telephone VARCHAR(20), Email VARCHAR(50), UserId VARCHAR(20));
INSERT INTO Personnel VALUES ('Ann Smith', 'Network', '101', NULL, 'ann'),
  ('Pat O''Brien', 'Desktop', '102', NULL, 'o''brien'),
  ('Bob Jones', 'Desktop', '103', NULL, 'bob'),
  ('No Pass', 'Desktop', '104', NULL, 'nopass');
CREATE TABLE Logins (Id INTEGER PRIMARY KEY, UserName VARCHAR(20),
  LoginTime DATETIME);
CREATE TABLE Priority (Priority VARCHAR(10));
INSERT INTO Priority VALUES ('High'), ('Low');
CREATE TABLE Current_Requests (RequestNo INTEGER, Requested DATETIME,
  Personnel VARCHAR(30), Description VARCHAR(255), Priority VARCHAR(10),
  Allocated DATETIME, DownFlag BOOLEAN);
INSERT INTO Current_Requests VALUES
  (7, '2024-03-01 09:00:00', 'Ann Smith', 'Printer jams', 'Low',
   '2024-03-01 09:15:00', TRUE),
  (9, '2024-03-05 14:30:00', 'Ann Smith', 'Screen flickers', 'High', NULL,
   FALSE);
)sql";

// User ids compare without regard to case, as on a desk that `kirvs init`
// makes (on PostgreSQL every VARCHAR does).
class LoginTest : public ::testing::TestWithParam<Store> {
 protected:
  LoginTest()
      : desk_(GetParam() == Store::kSqlite ? AddNocaseToTextColumns(kDeskSql)
                                           : kDeskSql,
              GetParam()),
        session_(desk_.ini_path()) {
    EXPECT_TRUE(WriteIniString(desk_.ini_path(), "Settings", "RequestList",
                               "RequestNo, Requested, Priority, Description")
                    .ok());
  }

  void SetUp() override {
    if (!desk_.available()) GTEST_SKIP() << kNoPostgres;
  }

  bool Run(Variant command, Variant p1 = Variant(), Variant p2 = Variant()) {
    return Call(session_, command, p1, p2);
  }

  bool LogIn(const std::string& user, const std::string& password) {
    return Run("Login", Form({{"txtUserID", user},
                              {"txtPassword", password},
                              {"KIRVSCommand", "Login"}}));
  }

  std::string Page() { return session_.HTMLString().text(); }
  std::string Error() { return session_.ErrorDescription().text(); }
  int LoginRows(const std::string& user) {
    return std::stoi(QueryValue(
        desk_.db_path(),
        "SELECT COUNT(*) FROM Logins WHERE UserName='" + user + "'"));
  }

  HelpDeskFixture desk_;
  KIRVSession session_;
};

TEST_P(LoginTest, ConcurrentFirstLoginsLeaveOneEntry) {
  OnThreads(8, [&](int) {
    KIRVSession session(desk_.ini_path());
    EXPECT_TRUE(Call(session, "LOGIN",
                     Form({{"txtUserId", "ann"}, {"txtPassword", "pw"}})))
        << session.ErrorDescription().text();
  });
  EXPECT_EQ(1, LoginRows("ann"));
}

// (An unknown user: the golden login_unknown_user.)
// Every failure has its message; a plain-text password is hashed at its
// first login.
TEST_P(LoginTest, EveryLoginFailureHasItsMessage) {
  const std::string path = desk_.db_path();
  const std::string bad_id =
      "Unable to login.  User Id has not been correctly specified.";
  const std::string wrong =
      "Unable to complete login process.  Supplied password is incorrect.";
  struct Case {
    std::string user, password, message;
  } cases[] = {
      {"", "pw", bad_id},
      {"bob", "bob", wrong},
      // A null or empty stored password admits nobody, not even with no
      // password; nor does a damaged hash.
      {"nopass", "", wrong},
      {"empty", "", wrong},
      {"garbage", "$argon2id$garbage", wrong},
      {"noprofile", "x",
       "Unable to locate personnel profile for user: noprofile in database: " +
           path},
      {"ann", std::string("pw\0", 3), wrong},
      // Ids that no account can have are not looked up.
      {std::string("ann\0", 4), "pw", bad_id},
      {std::string(10000, 'u'), "pw", bad_id},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(LogIn(c.user, c.password)) << c.user;
    EXPECT_EQ(c.message, Error()) << c.user;
    EXPECT_EQ("", session_.UserId().text()) << c.user;
  }
  EXPECT_EQ("0", QueryValue(path, "SELECT COUNT(*) FROM Logins"));
  // A wrong password leaves the plain text for its owner; the first login
  // hashes it.
  const std::string query = "SELECT Password FROM System_Users WHERE UserId=";
  EXPECT_EQ("bob ", QueryValue(path, query + "'bob'"));
  ASSERT_TRUE(LogIn("ann", "pw")) << Error();
  const std::string hash = QueryValue(path, query + "'ann'");
  EXPECT_TRUE(VerifyPassword(hash, "pw")) << hash;
  EXPECT_TRUE(LogIn("ann", "pw")) << Error();
  EXPECT_FALSE(LogIn("ann", "PW"));
  EXPECT_EQ(hash, QueryValue(path, query + "'ann'"));
  EXPECT_TRUE(LogIn("bob", "bob "));  // blanks count in both directions
  // An apostrophe in the user id is quoted, not spliced.
  ASSERT_TRUE(LogIn("o'brien", "pw2")) << Error();
  EXPECT_EQ("Pat O'Brien", session_.PersonnelName().text());
}

TEST_P(LoginTest, DatabaseFailuresUseTheirTablesMessages) {
  const std::string path = desk_.db_path();
  FailWrites(path, "Logins");
  EXPECT_FALSE(LogIn("ann", "pw"));
  EXPECT_EQ(
      "Unable to login to Dravel database. An error occured while "
      "trying to write login entry (injected failure).",
      Error());
  EXPECT_EQ("Ann Smith", session_.PersonnelName().text());
  EXPECT_EQ("", session_.UserId().text());

  for (std::string table : {"Logins", "Personnel", "System_Users"}) {
    DropTable(path, table);
    EXPECT_FALSE(LogIn("ann", "pw"));
    EXPECT_EQ("An error occurred while trying to open " + table +
                  " table in database " + path + " (no such table: " + table +
                  ").",
              Error());
  }
}

// A logout removes every entry of the user, or none, and always shows the
// login page.
TEST_P(LoginTest, LogoutRemovesEveryEntryOrNone) {
  ASSERT_TRUE(LogIn("ann", "pw"));
  EXPECT_TRUE(Run("LOGOUT", "nobody"));  // no entry: still the login page
  EXPECT_EQ("", Error());
  // An entry that cannot be deleted is a failed logout, and the user's
  // entry deleted before it comes back.
  testing::ExecSql(desk_.db_path(),
                   "INSERT INTO Logins (UserName) VALUES ('ann')");
  // Every delete of the newest login entry fails with "entry kept", by a
  // trigger in the store's own dialect.
  std::shared_ptr<Database> db;
  ASSERT_TRUE(Database::Open(desk_.db_path(), &db).ok());
  const Status s = db->ExecuteNative(
      GetParam() == Store::kSqlite
          ? "CREATE TRIGGER keep_last BEFORE DELETE ON Logins "
            "WHEN old.Id = (SELECT MAX(Id) FROM Logins) "
            "BEGIN SELECT RAISE(ABORT, 'entry kept'); END;"
          : "CREATE FUNCTION keep_last() RETURNS trigger AS $$ BEGIN "
            "IF old.\"Id\" = (SELECT MAX(\"Id\") FROM \"Logins\") THEN "
            "RAISE EXCEPTION 'entry kept'; END IF; RETURN old; END $$ "
            "LANGUAGE plpgsql; CREATE TRIGGER keep_last BEFORE DELETE ON "
            "\"Logins\" FOR EACH ROW EXECUTE FUNCTION keep_last()");
  ASSERT_TRUE(s.ok()) << s.message();
  EXPECT_TRUE(Run("LOGOUT", "ann"));
  EXPECT_EQ(
      "An error occurred while trying to remove login entry from "
      "database " +
          desk_.db_path() + " (entry kept).",
      Error());
  EXPECT_EQ(2, LoginRows("ann"));
  EXPECT_NE(std::string::npos, Page().find("txtPassword"));
  // Once another user's entry is the newest, all of ann's go, and only hers.
  ExecSql(desk_.db_path(), "INSERT INTO Logins (UserName) VALUES ('bob')");
  EXPECT_TRUE(Run("logout", "ann"));
  EXPECT_EQ(0, LoginRows("ann"));
  EXPECT_EQ(1, LoginRows("bob"));
  // Without a database path, neither logs in nor out. (That a failed login
  // writes nothing back: the golden login_bad_password.)
  const std::string no_path =
      "Unable to retrieve DBPath parameter from KIRVS.TXT file.";
  EXPECT_TRUE(WriteIniString(desk_.ini_path(), "Settings", "DBPath", "").ok());
  EXPECT_TRUE(Run("LOGOUT", "ann"));
  EXPECT_EQ(no_path, Error());
  EXPECT_EQ(no_path, LogInError(desk_.ini_path(), "ann", "pw"));
}

// A column outside the list still orders, and no option is selected. (A
// list query that fails: the golden list_bad_sort_column.)
TEST_P(LoginTest, ListAndRequestPages) {
  ASSERT_TRUE(Run("SHOW LIST", "Ann Smith", "DownFlag")) << Error();
  EXPECT_EQ(std::string::npos, Page().find("<option selected"));
  EXPECT_LT(Page().find("value=9 type=submit"),
            Page().find("value=7 type=submit"));
  // Dates held as text or numbers are shown as dates. (Which text names a
  // date, and which day count: SetRequestTimesTest.)
  ASSERT_TRUE(WriteIniString(desk_.ini_path(), "Settings", "DisplayRequest",
                             "RequestNo, substr(Requested || '', 1, 16) AS "
                             "Requested, 45352.385416666664 AS Allocated")
                  .ok());
  ASSERT_TRUE(Run("SHOW REQUEST", "7", "Ann Smith")) << Error();
  for (const char* shown :
       {"<b>Requested</td><td><font size=2 face=arial>2024-03-01 09:00:00</td>",
        "value='2024-03-01 09:15:00' maxlength=20>"}) {
    EXPECT_NE(std::string::npos, Page().find(shown)) << shown << "\n" << Page();
  }
}

// Any spelling signs in, and a user keeps one login entry, its moment
// refreshed by each login, and the last login noted.
TEST_P(LoginTest, AnySpellingOfTheUserIdIsTheSameUser) {
  const std::string& db = desk_.db_path();
  ExecSql(db,
          "INSERT INTO Logins (UserName, LoginTime) VALUES "
          "('ANN', '2000-01-01 00:00:00')");
  for (std::string user : {"ann", "ANN", "Ann"}) {
    EXPECT_TRUE(LogIn(user, "pw")) << user << ": " << Error();
    EXPECT_EQ("Ann Smith", session_.PersonnelName().text()) << user;
    EXPECT_EQ(user, session_.UserId().text());
  }
  // The one entry, refreshed.
  EXPECT_EQ((Rows{{"ANN", "1"}}),
            QuerySql(db,
                     "SELECT UserName, (SELECT count(*) FROM Logins) FROM "
                     "Logins WHERE LoginTime > '2000-01-01 00:00:00'"));
  EXPECT_NE("NULL", QueryValue(db,
                               "SELECT LastLogin FROM System_Users WHERE "
                               "UserId='ann'"));
  EXPECT_TRUE(Run("LOGOUT", "aNn"));
  EXPECT_EQ("0", QueryValue(db, "SELECT count(*) FROM Logins"));
}

KIRVS_ON_EVERY_STORE(LoginTest);

}  // namespace
}  // namespace kirvs

// `kirvs user` through the program, on a demo help desk: the paths that
// change accounts, and bad input that must change nothing.

#include "cli/user_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/password_hash.h"
#include "test_support.h"

namespace kirvs {
namespace {

using namespace testing;  // the helpers of test_support.h

class UserCommandTest : public ::testing::TestWithParam<Store> {
 protected:
  void SetUp() override {
    if (!desk_.available()) GTEST_SKIP() << kNoPostgres;
  }

  // Runs `kirvs user` with `arguments`, expecting the exit code `exit_code`.
  ProgramRun User(std::vector<std::string> arguments,
                  const std::string& input = "", int exit_code = 0) {
    arguments.insert(arguments.begin(), "user");
    arguments.push_back("--ini");
    arguments.push_back(ini_);
    ProgramRun run = testing::RunKirvs(arguments, input);
    EXPECT_EQ(exit_code, run.exit_code)
        << arguments[1] << " " << arguments[2].substr(0, 20) << ": "
        << run.err.substr(0, 200);
    return run;
  }

  std::string Hash(const std::string& user) {
    return QueryValue(
        db_, "SELECT Password FROM System_Users WHERE UserId='" + user + "'");
  }

  // Everything `kirvs user` may change.
  testing::Rows Accounts() {
    testing::Rows rows;
    for (const char* table :
         {"System_Users", "Personnel", "User_Factors", "Logins"}) {
      for (auto& row :
           QuerySql(db_, std::string("SELECT * FROM ") + table + " ORDER BY 1"))
        rows.push_back(std::move(row));
    }
    return rows;
  }

  testing::DemoDesk desk_{GetParam()};
  const std::string db_ = desk_.db_path(), ini_ = desk_.ini_path();
};

KIRVS_ON_EVERY_STORE(UserCommandTest);

TEST_P(UserCommandTest, AddChangeListTotpAndRemoveAnAccount) {
  ProgramRun run = User({"add", "erin", "--person", "Erin Ede", "--group",
                         "Network", "--password-stdin"},
                        "two words\n");
  EXPECT_TRUE(Hash("erin").starts_with("$argon2id$"));
  EXPECT_EQ("Erin Ede|Network|erin",
            QueryValue(db_,
                       "SELECT Name || '|' || WorkGroup || '|' || UserId "
                       "FROM Personnel WHERE UserId='erin'"));
  EXPECT_EQ("", testing::LogInError(ini_, "ERIN", "two words"));

  User({"passwd", "Erin", "--password-stdin"}, "new one\r\n");
  EXPECT_TRUE(VerifyPassword(Hash("erin"), "new one"));

  run = User({"totp", "erin"});
  const std::string secret =
      QueryValue(db_, "SELECT Secret FROM User_Factors WHERE UserId='erin'");
  EXPECT_NE(std::string::npos,
            run.out.find("otpauth://totp/kirvs:erin?secret=" + secret +
                         "&issuer=kirvs"))
      << run.out;
  EXPECT_NE(std::string::npos, run.out.find("\u2588\u2588")) << "a QR code";

  run = User({"list"});
  EXPECT_NE(std::string::npos,
            run.out.find("\nerin     Erin Ede    Network       set       "
                         "set            20"))
      << run.out;
  EXPECT_NE(std::string::npos, run.out.find("never"))
      << "nobody else logged in";
  EXPECT_EQ(std::string::npos, run.out.find("$argon2")) << "never a hash";

  User({"totp", "erin", "--off"});
  EXPECT_EQ("0", QueryValue(db_, "SELECT count(*) FROM User_Factors"));

  // Removing keeps the profile unless asked; the same account can come back
  // to it.
  User({"remove", "ERIN"});
  EXPECT_EQ("", Hash("erin"));
  EXPECT_EQ("0", QueryValue(db_, "SELECT count(*) FROM Logins"));
  const char* profiles = "SELECT count(*) FROM Personnel WHERE UserId='erin'";
  EXPECT_EQ("1", QueryValue(db_, profiles));
  User({"add", "erin", "--person", "erin ede", "--password-stdin"}, "again\n");
  EXPECT_EQ("", testing::LogInError(ini_, "erin", "again"));
  User({"remove", "erin", "--with-profile"});
  EXPECT_EQ("0", QueryValue(db_, profiles));
}

TEST_P(UserCommandTest, BadInputFailsWithAMessageAndChangesNothing) {
  const auto before = Accounts();
  auto add_as = [](std::string user) {
    return std::vector<std::string>{"add", user, "--person", "Zed Zane",
                                    "--password-stdin"};
  };
  const std::vector<std::string> add_zed = add_as("zed");
  const struct {
    std::vector<std::string> arguments;
    std::string input;
    std::string message;
  } cases[] = {
      {add_as(""), "pw\n", "the user id is empty"},
      {add_as(std::string(10000, 'a')), "pw\n",
       "the user id is 10000 characters long"},
      {add_as("z\x1b[2J"), "pw\n", "the user id contains a control character"},
      {add_as("zed "), "pw\n", "the user id begins or ends with a blank"},
      {add_as("ANN"), "pw\n", "the user id ann exists already"},
      {{"add", "zed", "--password-stdin"}, "pw\n", "--person NAME is required"},
      {{"add", "zed", "--person", "ann archer", "--password-stdin"},
       "pw\n",
       "the personnel name ann archer exists already (user id ann)"},
      {{"add", "zed", "--person", "Zed", "--group", "Nowhere",
        "--password-stdin"},
       "pw\n",
       "there is no work group Nowhere"},
      {add_zed, "\n", "the password is empty"},
      {add_zed, "", "no password on standard input"},
      {add_zed, std::string("pa\0ss\n", 6), "contains a control character"},
      {add_zed, "\xc3\x28\n", "the password is not UTF-8 text"},
      {{"add", "zed", "--person", "Zed"}, "pw\n", "no terminal"},
      {{"passwd", "nobody", "--password-stdin"},
       "pw\n",
       "there is no user id nobody"},
      {{"remove", "nobody"}, "", "there is no user id nobody"},
      {{"remove", "ann", "--with-profile"},
       "",
       "Ann Archer still has 6 outstanding requests"},
      {{"totp", "nobody"}, "", "there is no user id nobody"},
  };
  for (const auto& c : cases) {
    const std::string what =
        c.arguments[0] + " " + c.arguments[1].substr(0, 20);
    ProgramRun run = User(c.arguments, c.input, 1);
    EXPECT_NE(std::string::npos, run.err.find(c.message))
        << what << ": " << run.err.substr(0, 200);
    EXPECT_EQ("", run.out) << what;
  }
  EXPECT_TRUE(before == Accounts());
}

}  // namespace
}  // namespace kirvs

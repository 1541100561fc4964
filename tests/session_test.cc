#include "kirvs/session.h"

#include <gtest/gtest.h>

#include "kirvs/submitted_form.h"
#include "test_support.h"

namespace kirvs {
namespace {

using namespace testing;  // the helpers of test_support.h

// A command that ends without a result (unknown, or a startup whose name
// cannot be joined to the page) returns the flag and page of the one before.
TEST(SessionTest, ACommandWithoutResultKeepsWhatThePreviousOneLeft) {
  KIRVSession session("/nonexistent/KIRVS.INI");
  EXPECT_FALSE(Call(session, "NO SUCH COMMAND"));
  EXPECT_FALSE(Call(session, "STARTUP", Variant::Null()));
  EXPECT_EQ("", session.HTMLString().text());
  EXPECT_EQ("", session.ErrorDescription().text());

  ASSERT_TRUE(Call(session, "startup", "ann"));
  std::string page = session.HTMLString().text();
  EXPECT_FALSE(page.empty());
  EXPECT_TRUE(Call(session, "NO SUCH COMMAND"));
  EXPECT_TRUE(Call(session, "STARTUP", Variant::Integer(7)));
  EXPECT_EQ(page, session.HTMLString().text());
}

TEST(SessionTest, CommandIsWrittenBackAsUpperCaseText) {
  struct Case {
    Variant command;
    Variant written_back;
  } cases[] = {
      {Variant::Null(), Variant::Null()},
      {Variant(" startup"), Variant(" STARTUP")},    // not trimmed
      {Variant("café"), Variant("CAFÉ")},            // letters: utf8_test.cc
      {Variant("a\xff\xc3"), Variant("A\xff\xc3")},  // bytes that are no letter
      {Variant::Integer(5), Variant("5")},
      {Variant::Boolean(true), Variant("TRUE")},
  };
  for (const Case& c : cases) {
    KIRVSession session("/nonexistent/KIRVS.INI");
    Variant command = c.command, p1("ann"), p2, p3("untouched");
    EXPECT_FALSE(session.RunCommand(command, p1, p2, p3));
    EXPECT_EQ(c.written_back, command) << Describe(c.command);
    EXPECT_EQ("", session.HTMLString().text());
    EXPECT_EQ("ann", p1.text());
    EXPECT_EQ("untouched", p3.text());
  }
}

// Every command that walks rows fails with its own retrieval message when a
// read fails after the first row, instead of showing the rows read so far
// as the whole list.
class SessionReadTest : public ::testing::TestWithParam<Store> {};

TEST_P(SessionReadTest, AReadFailingPartWayFailsTheCommand) {
  // (That a failed close keeps the request where it was: RequestSaveTest.)
  // Request 1017 (Ann Archer's) gets two activities; the index lets the
  // activity log walk them in its order without sorting them first.
  const std::string kActivities =
      "INSERT INTO Request_Activities (RequestNo, ActNo, [Date/Time], "
      "Personnel, WorkGroup, Duration, ChargeRate) VALUES "
      "(1017, 1, '2026-11-30 10:00:00', 'Ann Archer', 'Desktop', 1, 40), "
      "(1017, 2, '2026-11-30 11:00:00', 'Ann Archer', 'Desktop', 2, 40); "
      "CREATE INDEX Activity_Order ON Request_Activities "
      "(RequestNo, [Date/Time], ActNo); "
      "INSERT INTO Logins (UserName) VALUES ('ann')";
  struct Case {
    const char* command;
    Variant p1, p2;
    const char* table;    // whose reads fail after its first `rows` rows
    const char* failure;  // after "An error occurred while trying to "
    int rows = 1;
    bool result = false;  // what the failed command returns
    // The command changes what it walks, so it is not run unharmed first.
    bool changes = false;
  };
  const Case cases[] = {
      {"SHOW LIST", "Ann Archer", "", "Current_Requests",
       "retrieve requests from Current_Requests table ("},
      {"ACTIVITIES", "1017", Variant(), "Request_Activities",
       "retrieve activities from Request_Activities table ("},
      // The solutions search walks its rows with the same code.
      {"SEARCH INVENTORY NOW", Form({}), Variant(), "Items",
       "retrieve inventory items from Items table ("},
      {"SHOW CONFIGURATION", Form({{"ItemId", "LT-0001"}}), Variant(),
       "Item_Configuration",
       "retrieve configuration details from Item_Configuration table ("},
      {"SHOW REQUEST", "1017", "Ann Archer", "Priority",
       "retrieve a request from the Current_Requests table ("},
      {"SHOW ACTIVITY", Form({{"RequestNo", "1017"}}), "1", "Work_Groups",
       "retrieve an activity from the Request_Activities table ("},
      {"ADD ACTIVITY", "1017", "Ann Archer", "Request_Activities",
       "retrieve an activity from the Request_Activities table ("},
      {"REGISTER NEW REQUEST", Form({{"KIRVSCurrentPerson", "Ann Archer"}}),
       Variant(), "Priority", "access the Current_Requests table ("},
      {"SHOW ITEM", "LT-0001", Variant(), "Locations",
       "retrieve an item from the Items table ("},
      {"CLOSE NOW",
       Form({{"requestno", "1017"},
             {"Completed", "2026-11-30 15:30"},
             {"KIRVSCurrentUser", "ann"}}),
       "Ann Archer", "Request_Activities",
       "update fields in the completed requests table (", 1, false, true},
      // An update source reads its rows on the first look at them.
      {"LOGIN", Form({{"txtUserId", "ann"}, {"txtPassword", "ann123"}}),
       Variant(), "Logins", "open Logins table in database ", 0},
      {"LOGOUT", "ann", Variant(), "Logins",
       "remove login entry from database ", 0, true, true},
  };
  for (const Case& c : cases) {
    DemoDesk desk(GetParam());
    if (!desk.available()) GTEST_SKIP() << kNoPostgres;
    const std::string& db = desk.db_path();
    ExecSql(db, kActivities);
    KIRVSession session(desk.ini_path());
    // Unharmed, the command succeeds.
    if (!c.changes) {
      ASSERT_TRUE(Call(session, c.command, c.p1, c.p2))
          << c.command << ": " << session.ErrorDescription().text();
    }
    FailReadsAfter(db, c.table, c.rows);
    EXPECT_EQ(c.result, Call(session, c.command, c.p1, c.p2)) << c.command;
    // The messages of the login entry name the database first.
    const std::string where = c.rows == 0 ? db + " (" : "";
    // A close, which writes, says "whilst".
    const char* wording = c.changes && !c.result ? "whilst" : "while";
    EXPECT_EQ(std::string("An error occurred ") + wording + " trying to " +
                  c.failure + where + testing::kInjectedReadFailure + ").",
              session.ErrorDescription().text())
        << c.command;
  }
}

KIRVS_ON_EVERY_STORE(SessionReadTest);

}  // namespace
}  // namespace kirvs

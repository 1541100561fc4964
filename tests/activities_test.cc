// The activity log, one activity, a new activity and saving an activity, on a
// small help desk made with plain SQL in a temporary folder.

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "activities/activity_display.h"
#include "activities/activity_list.h"
#include "activities/new_activity.h"
#include "activities/save_activity.h"
#include "data/activity_pages.h"
#include "kirvs/submitted_form.h"
#include "pages/session_state.h"
#include "platform/clock.h"
#include "platform/settings_file.h"
#include "platform/text_forms.h"
#include "test_support.h"

namespace kirvs {
namespace {

using namespace testing;  // the helpers of test_support.h

// Request 7 has activities numbered 2, 5 and 9 in date order; request 9 has
// three whose numbers run against their dates; request 8, completed, has one.
const char kActivitiesSql[] = R"sql(
CREATE TABLE Current_Requests (RequestNo INTEGER, Description VARCHAR(50));
INSERT INTO Current_Requests VALUES (7, 'Printer'), (9, 'Mail');
CREATE TABLE Completed_Requests (RequestNo INTEGER, Description VARCHAR(50));
INSERT INTO Completed_Requests VALUES (8, 'Done');
CREATE TABLE Logins (LoginId INTEGER PRIMARY KEY, UserName VARCHAR(20),
                     LoginTime DATETIME);
INSERT INTO Logins (UserName) VALUES ('ann');
CREATE TABLE Personnel (Name VARCHAR(30), WorkGroup VARCHAR(20));
INSERT INTO Personnel VALUES ('Ann Smith', 'Network'), ('Bob Jones', 'Desktop');
CREATE TABLE Work_Groups (WorkGroup VARCHAR(20));
INSERT INTO Work_Groups VALUES ('Desktop'), ('Network');
CREATE TABLE Request_Activities (
  RequestNo INTEGER NOT NULL, ActNo INTEGER NOT NULL, [Date/Time] DATETIME,
  Personnel VARCHAR(30), WorkGroup VARCHAR(20), Description VARCHAR(255),
  Duration DOUBLE, ChargeRate CURRENCY, Billable BOOLEAN);
INSERT INTO Request_Activities VALUES
  (7, 2, '2024-03-01 10:00:00', 'Ann Smith', 'Network', 'Checked the printer',
   0.5, 40, TRUE),
  (7, 5, '2024-03-01 14:30:00', 'Bob Jones', 'Desktop', 'Ordered a fuser',
   0.25, 37.5, FALSE),
  (7, 9, '2024-03-02 09:00:00', 'Ann Smith', 'Network', 'Fitted the fuser',
   1.5, 40, TRUE),
  (8, 1, '2024-03-02 11:00:00', 'Bob Jones', 'Desktop', 'Other', 1, 37.5,
   FALSE),
  (9, 1, '2024-03-05 09:00:00', 'Ann Smith', 'Network', 'newest', 1, 40, FALSE),
  (9, 2, '2024-03-03 09:00:00', 'Ann Smith', 'Network', 'oldest', 1, 40, FALSE),
  (9, 3, '2024-03-04 09:00:00', 'Ann Smith', 'Network', 'middle', 1, 40, FALSE);
)sql";

// The activity numbers of the log's row buttons, in page order.
std::vector<std::string> LogButtons(const std::string& page) {
  static const std::regex kButton("value='#([^']*)' type=submit>");
  std::vector<std::string> numbers;
  for (std::sregex_iterator it(page.begin(), page.end(), kButton), end;
       it != end; ++it) {
    numbers.push_back((*it)[1]);
  }
  return numbers;
}

// The one-time id of a new-activity page.
std::string PageId(const std::string& page) {
  static const std::regex kPageId("name=KIRVSActivityPage value=(\\w*)>");
  std::smatch match;
  return std::regex_search(page, match, kPageId) ? match[1].str() : "";
}

// What a browser posts from a new-activity page shown for `person`.
Fields PostedFrom(const std::string& page, const std::string& person,
                  const std::string& duration = "") {
  static const std::regex kHidden("name=(requestno|actno) value=(\\w*) ");
  Fields fields;
  for (std::sregex_iterator it(page.begin(), page.end(), kHidden), end;
       it != end; ++it) {
    fields.emplace_back((*it)[1], (*it)[2]);
  }
  fields.insert(fields.end(), {{"KIRVSNewActivity", "1"},
                               {"KIRVSActivityPage", PageId(page)},
                               {"Personnel", person},
                               {"Duration", duration},
                               {"KIRVSCommand", "Save Activity"}});
  return fields;
}

class ActivitiesTest : public ::testing::TestWithParam<Store> {
 protected:
  ActivitiesTest()
      : desk_(kActivitiesSql, GetParam()), session_(desk_.ini_path()) {
    SetSetting("ActivityList",
               "ActNo, [Date/Time], Personnel, Duration, Description");
    SetSetting("DisplayActivity",
               "RequestNo, ActNo, [Date/Time], Personnel, WorkGroup, "
               "Duration, Billable");
  }

  void SetUp() override {
    if (!desk_.available()) GTEST_SKIP() << kNoPostgres;
  }

  void SetSetting(const char* key, const std::string& value) {
    ASSERT_TRUE(WriteIniString(desk_.ini_path(), "Settings", key, value).ok());
  }

  // ActNo and the named columns of a request's activities, by ActNo.
  Rows Activities(int request_no, const std::string& columns) {
    return QuerySql(desk_.db_path(),
                    "SELECT ActNo, " + columns +
                        " FROM Request_Activities WHERE RequestNo=" +
                        std::to_string(request_no) + " ORDER BY ActNo");
  }

  // Saves an activity as ann posts it.
  bool Save(Fields fields) {
    fields.emplace_back("KIRVSCurrentUser", "ann");
    return SaveActivity(&session_, Form(std::move(fields)));
  }

  Rows AllActivities() {
    return QuerySql(desk_.db_path(),
                    "SELECT * FROM Request_Activities ORDER BY rowid");
  }

  testing::HelpDeskFixture desk_;
  SessionState session_;
};

TEST_P(ActivitiesTest, LogListsActivitiesOldestFirst) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"7", {"2", "5", "9"}}, {"9", {"2", "3", "1"}}, {"12", {}}};
  for (const auto& [request, buttons] : cases) {
    ASSERT_TRUE(ShowActivityList(&session_, Variant(request)));
    EXPECT_EQ(buttons, LogButtons(session_.page_text)) << request;
    EXPECT_EQ(nullptr, session_.current_rs);
  }
}

TEST_P(ActivitiesTest, NewActivityRenumbersByDateAndProposesTheNext) {
  // The whole trace: the golden new_activity.
  ASSERT_TRUE(NewActivity(&session_, Variant("7"), Variant("Ann Smith")));
  const std::string page_id = PageId(session_.page_text);
  EXPECT_TRUE(IsActivityPageId(page_id)) << page_id;
  EXPECT_EQ((Rows{{"1", "2024-03-01 10:00:00"},
                  {"2", "2024-03-01 14:30:00"},
                  {"3", "2024-03-02 09:00:00"}}),
            Activities(7, "[Date/Time]"));

  // The newest activity gets the highest number; other requests keep theirs;
  // the new row is not stored, so a second call proposes the same number.
  // Each page has an id of its own.
  for (int call = 0; call < 2; ++call) {
    ASSERT_TRUE(NewActivity(&session_, Variant(9), Variant("Bob Jones")));
    EXPECT_EQ(0u, session_.error_text.find(
                      "Got workgroup: Desktop for person: Bob Jones<br><br>"
                      "Calculated activity #4 Date/Time: "));
    EXPECT_NE(page_id, PageId(session_.page_text));
  }
  EXPECT_EQ((Rows{{"1", "oldest"}, {"2", "middle"}, {"3", "newest"}}),
            Activities(9, "Description"));

  // A desk that keeps the moment as text still gets it traced as a date.
  ExecSql(desk_.db_path(),
          "DROP TABLE Request_Activities; CREATE TABLE Request_Activities "
          "(RequestNo INTEGER, ActNo INTEGER, [Date/Time] TEXT, "
          "Personnel VARCHAR(30), WorkGroup VARCHAR(20))");
  SetSetting("DisplayActivity", "ActNo, [Date/Time], Personnel");
  const double before = CurrentMoment();
  ASSERT_TRUE(NewActivity(&session_, Variant("7"), Variant("Ann Smith")));
  const std::string& trace = session_.error_text;
  std::optional<double> moment =
      ParseDate(trace.substr(trace.find(" Date/Time: ") + 12));
  ASSERT_TRUE(moment) << session_.error_text;
  EXPECT_LE(before - 1.0 / 86400, *moment);
  EXPECT_GE(CurrentMoment() + 1.0 / 86400, *moment);
}

TEST_P(ActivitiesTest, SaveStoresTextAsPostedAndEmptyDatesAndNumbersAsNull) {
  ASSERT_TRUE(Save({{"requestno", "8"},
                    {"actno", "1"},
                    {"Description", "  blanks <kept> & 'escaped'"},
                    {"Date/Time", ""},
                    {"Duration", " "}}));
  EXPECT_EQ(
      "SELECT * FROM [Request_Activities] WHERE RequestNo=8 AND ActNo=1"
      "requestno=8,actno=1,Description=  blanks &lt;kept&gt; &amp; "
      "&#39;escaped&#39;,Date/Time=,Duration= "
      "<br>CurrentRS.Update command completed.<br>",
      session_.error_text);
  // A number that is not stored adds the row under the posted numbers.
  ASSERT_TRUE(Save(
      {{"RequestNo", "8"}, {"ActNo", "6"}, {"Description", "late entry"}}));
  EXPECT_EQ((Rows{{"1", "NULL", "  blanks <kept> & 'escaped'", "NULL", "37.5"},
                  {"6", "NULL", "late entry", "NULL", "NULL"}}),
            Activities(8, "[Date/Time], Description, Duration, ChargeRate"));
}

TEST_P(ActivitiesTest, ARepostFindsItsActivityAfterRenumbering) {
  ASSERT_TRUE(NewActivity(&session_, Variant("7"), Variant("Ann Smith")));
  const std::string page = session_.page_text;
  ASSERT_TRUE(Save(PostedFrom(page, "Ann Smith", "1"))) << session_.error_text;
  // Dated first, the stored activity 4 becomes 1 when the next page opens.
  ExecSql(desk_.db_path(),
          "UPDATE Request_Activities SET [Date/Time]='2024-01-01 00:00:00' "
          "WHERE RequestNo=7 AND ActNo=4");
  ASSERT_TRUE(NewActivity(&session_, Variant("7"), Variant("Bob Jones")));
  ASSERT_TRUE(Save(PostedFrom(page, "Ann Smith", "2"))) << session_.error_text;
  EXPECT_EQ((Rows{{"1", "2.0"}, {"2", "0.5"}, {"3", "0.25"}, {"4", "1.5"}}),
            Activities(7, "Duration"));
}

// Bad numbers and fields, then failures of the database: each handler gives
// its message and nothing is stored.
TEST_P(ActivitiesTest, BadInputAndFailuresGiveTheirMessagesAndStoreNothing) {
  const std::string update_failed =
      "An error occurred whilst trying to update fields for the current "
      "activity (";
  const std::string no_login =
      "Unable to update current activity.  There is no login entry for the "
      "current user.<br><br>Re-enter your login details and retry the "
      "transaction.";
  auto form = [](const char* name, const char* value,
                 const char* user = "ann") {
    return Form({{"requestno", "7"},
                 {"actno", "2"},
                 {"Duration", "9"},
                 {name, value},
                 {"KIRVSCurrentUser", user}});
  };
  struct Case {
    Variant form;
    std::string message;
  } cases[] = {
      {form("Date/Time", "next <Tuesday>"),
       update_failed + "cannot convert &#39;next &lt;Tuesday&gt;&#39; to a "
                       "date for column Date/Time)."},
      {form("ChargeRate", "forty"),
       update_failed + "cannot convert &#39;forty&#39; to a number for column "
                       "ChargeRate)."},
      {form("Minutes]; DROP TABLE Logins", "5"),
       update_failed + "unknown column: Minutes]; DROP TABLE Logins)."},
      {Form({{"requestno", "7"},
             {"actno", "4"},
             {"KIRVSNewActivity", "1"},
             {"Minutes", "5"},
             {"KIRVSCurrentUser", "ann"}}),
       update_failed + "unknown column: Minutes)."},
      {form("Description", "x", "bob"), no_login},
      {Form({{"requestno", "7"}, {"actno", "2"}}), no_login},  // no user
      {Variant("requestno=7&actno=2"),
       "Unable to process request object submitted by ASP form."},
      // Activities belong to a request that is outstanding or completed.
      {Form({{"requestno", "424242"},
             {"actno", "1"},
             {"Description", "orphan"},
             {"KIRVSCurrentUser", "ann"}}),
       "Unable to locate request: 424242 in outstanding or completed requests "
       "tables."},
  };
  const Rows before = AllActivities();
  // The pages refuse numbers that are not integers.
  const std::string retrieve_one =
      "An error occurred while trying to retrieve an activity from the "
      "Request_Activities table (";
  for (const char* bad : {"7 OR 1=1", "", "7.5", "<b>"}) {
    session_.page_text = "previous page";
    EXPECT_FALSE(ShowActivityList(&session_, Variant(bad))) << bad;
    EXPECT_EQ("", session_.page_text) << bad;
    EXPECT_FALSE(ShowActivity(&session_, Form({{"RequestNo", "7"}}), bad));
    EXPECT_EQ(0u, session_.error_text.find(retrieve_one +
                                           "not an activity number: "));
    session_.page_text = "previous page";
    EXPECT_FALSE(NewActivity(&session_, Variant(bad), Variant("Ann Smith")));
    EXPECT_EQ("previous page", session_.page_text) << bad;
  }
  EXPECT_EQ(retrieve_one + "not a request number: &lt;b&gt;).",
            session_.error_text);
  for (const Case& c : cases) {
    EXPECT_FALSE(SaveActivity(&session_, c.form)) << c.message;
    EXPECT_EQ(c.message, session_.error_text);
    EXPECT_EQ(before, AllActivities()) << c.message;
  }

  FailWrites(desk_.db_path(), "Request_Activities");
  for (const char* marker : {"", "1"}) {  // a stored one, a new one
    EXPECT_FALSE(Save(
        {{"requestno", "7"}, {"actno", "2"}, {"KIRVSNewActivity", marker}}));
    EXPECT_EQ(
        "An error occurred whilst trying to save the current activity "
        "(injected failure).",
        session_.error_text);
  }
  // Numbers that cannot be stored still give the page.
  EXPECT_TRUE(NewActivity(&session_, Variant("7"), Variant("Ann Smith")));
  EXPECT_NE(std::string::npos,
            session_.page_text.find("name=actno value=4 type=hidden>"));
  EXPECT_EQ(before, AllActivities());

  // The read failures of the other handlers are in session_test.cc.
  DropTable(desk_.db_path(), "Request_Activities");
  EXPECT_FALSE(Save({{"requestno", "7"}, {"actno", "2"}}));
  EXPECT_EQ(
      "An error occurred while trying to open Request_Activities table "
      "in database " +
          desk_.db_path() + " (no such table: Request_Activities).",
      session_.error_text);

  ASSERT_TRUE(WriteIniString(desk_.ini_path(), "Settings", "DBPath", "").ok());
  EXPECT_FALSE(SaveActivity(&session_, form("Duration", "1")));
  EXPECT_EQ("Unable to retrieve DBPath parameter from KIRVS.TXT file.",
            session_.error_text);
  EXPECT_FALSE(ShowActivityList(&session_, Variant("7")));
  EXPECT_EQ(
      "An error occurred while trying to retrieve activities from "
      "Request_Activities table (no database path was given).",
      session_.error_text);
}

KIRVS_ON_EVERY_STORE(ActivitiesTest);

}  // namespace
}  // namespace kirvs

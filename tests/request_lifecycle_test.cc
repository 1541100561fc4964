// The whole life of a request, through `kirvs run` on a demo help desk:
// register, save, show, allocate, schedule, close.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "test_support.h"

namespace kirvs {
namespace {

using Json = nlohmann::json;
using testing::ExecSql;
using testing::QueryValue;
using testing::TempDir;

// Runs `kirvs` with `arguments`, feeding `input` on stdin; returns stdout.
std::string RunKirvs(const TempDir& dir, const std::string& arguments,
                     const std::string& input, int* exit_code) {
  std::string input_file = dir.File("input.json");
  std::ofstream(input_file) << input;
  std::string command = std::string(KIRVS_BINARY) + " " + arguments + " < " +
                        input_file + " 2>" + dir.File("stderr.txt");
  FILE* pipe = popen(command.c_str(), "r");
  std::string output;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
    output.append(buffer, n);
  int status = pclose(pipe);
  *exit_code = WEXITSTATUS(status);
  return output;
}

Json FormOf(std::initializer_list<std::pair<std::string, std::string>> fields) {
  Json list = Json::array();
  for (const auto& [name, value] : fields) list.push_back({name, value});
  return Json{{"form", list}};
}

class RequestLifecycleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int code;
    RunKirvs(dir_, "init " + dir_.path() + " --demo", "", &code);
    ASSERT_EQ(0, code);
    db_ = dir_.File("helpdesk.db");
    ini_ = dir_.File("KIRVS.INI");
  }

  // Runs the calls on one session object; returns the results.
  Json Run(const Json& calls) {
    int code;
    std::string out = RunKirvs(dir_, "run --ini " + ini_,
                               Json{{"calls", calls}}.dump(), &code);
    EXPECT_EQ(0, code) << out;
    return Json::parse(out)["results"];
  }

  std::string Count(const std::string& sql) { return QueryValue(db_, sql); }

  TempDir dir_;
  std::string db_, ini_;
};

TEST_F(RequestLifecycleTest, RegisterSaveAllocateScheduleAndClose) {
  const std::string person = "Ann Archer";
  const std::string open_before =
      Count("SELECT COUNT(*) FROM Current_Requests");
  const std::string counter = Count("SELECT LastNumber FROM Counters");
  Json results = Run(Json::array({
      {{"command", "Startup"}, {"params", {""}}},
      {{"command", "Login"},
       {"params", {FormOf({{"txtUserId", "ann"}, {"txtPassword", "ann123"}})}}},
      {{"command", "Register New Request"},
       {"params",
        {FormOf(
            {{"KIRVSCurrentPerson", person}, {"KIRVSCurrentUser", "ann"}})}}},
  }));
  ASSERT_EQ(3u, results.size());
  EXPECT_TRUE(results[1]["result"]);
  EXPECT_EQ(person, results[1]["CommandParam1"]);
  std::string new_page = results[2]["HTMLString"];
  EXPECT_TRUE(results[2]["result"]) << results[2]["ErrorDescription"];
  EXPECT_NE(std::string::npos, new_page.find("Register New Service Request"));
  EXPECT_NE(std::string::npos,
            new_page.find("<input name='UserId' type=text value='ann'"))
      << new_page;
  EXPECT_NE(
      std::string::npos,
      new_page.find("<input name='Contact' type=text value='Ann Archer'"));
  // Showing the page stores nothing and draws no number.
  EXPECT_EQ(open_before, Count("SELECT COUNT(*) FROM Current_Requests"));
  EXPECT_EQ(counter, Count("SELECT LastNumber FROM Counters"));

  results = Run(Json::array({{{"command", "Save Request"},
                              {"params",
                               {FormOf({{"requestno", "0"},
                                        {"Description", "Laptop will not boot"},
                                        {"Priority", "High"},
                                        {"Status", "Open"},
                                        {"Personnel", person},
                                        {"WorkGroup", "Service Desk"},
                                        {"UserId", "ann"},
                                        {"KIRVSCommand", "Save Request"},
                                        {"KIRVSCurrentUser", "ann"}}),
                                person}}}}));
  ASSERT_TRUE(results[0]["result"]) << results[0]["ErrorDescription"];
  const std::string number = std::to_string(std::stoi(counter) + 1);
  EXPECT_EQ(number, Count("SELECT LastNumber FROM Counters"));
  EXPECT_EQ("Laptop will not boot",
            Count("SELECT Description FROM Current_Requests WHERE RequestNo=" +
                  number));
  EXPECT_EQ("0", Count("SELECT COUNT(*) FROM Current_Requests WHERE "
                       "RequestNo IN (0, 2147483646)"));
  EXPECT_EQ("Logged", Count("SELECT Event FROM Request_AuditTrail WHERE "
                            "RequestNo=" +
                            number));
  std::string list = results[0]["HTMLString"];
  EXPECT_NE(std::string::npos, list.find("value=" + number + " type=submit>"))
      << list;

  // A known registration moment and two activities give known figures.
  ExecSql(db_,
          "UPDATE Current_Requests SET Requested='2026-11-30 10:00:00' "
          "WHERE RequestNo=" +
              number);
  ExecSql(db_,
          "INSERT INTO Request_Activities (RequestNo, ActNo, Duration, "
          "ChargeRate) VALUES (" +
              number + ", 1, 1.5, 40), (" + number + ", 2, 2, 60)");

  results = Run(Json::array({
      {{"command", "Show Request"}, {"params", {number, person}}},
      {{"command", "Allocate"}, {"params", {number, person}}},
  }));
  EXPECT_NE(
      std::string::npos,
      std::string(results[0]["HTMLString"]).find("Service Request " + number));
  std::string allocate = results[1]["HTMLString"];
  EXPECT_NE(std::string::npos,
            allocate.find("Allocate Service Request " + number));
  EXPECT_NE(std::string::npos,
            allocate.find("<input name='Allocated' type=text "
                          "value='20"))
      << allocate;
  EXPECT_EQ("NULL", Count("SELECT IFNULL(Allocated, 'NULL') FROM "
                          "Current_Requests WHERE RequestNo=" +
                          number));

  results = Run(Json::array({
      {{"command", "Save Allocation"},
       {"params",
        {FormOf({{"requestno", number},
                 {"Personnel", person},
                 {"WorkGroup", "Service Desk"},
                 {"Allocated", "2026-11-30 11:00"},
                 {"Priority", "High"},
                 {"KIRVSCurrentUser", "ann"}}),
         person}}},
      {{"command", "Schedule"}, {"params", {number, person}}},
      {{"command", "Save Schedule"},
       {"params",
        {FormOf({{"requestno", number},
                 {"Scheduled", "2026-11-30 13:00:00"},
                 {"EscalationId", "E1"},
                 {"KIRVSCurrentUser", "ann"}}),
         person}}},
      {{"command", "Close"}, {"params", {number, person}}},
  }));
  for (const Json& r : results)
    EXPECT_TRUE(r["result"]) << r["ErrorDescription"];
  EXPECT_EQ("Allocated to: Service Desk,Ann Archer at 2026-11-30 11:00:00",
            Count("SELECT Description FROM Request_AuditTrail WHERE "
                  "Event='Allocated' AND RequestNo=" +
                  number));
  EXPECT_EQ("Scheduled: 2026-11-30 13:00:00; EscalationId: E1",
            Count("SELECT Description FROM Request_AuditTrail WHERE "
                  "Event='Scheduled' AND RequestNo=" +
                  number));
  EXPECT_NE(
      std::string::npos,
      std::string(results[3]["HTMLString"]).find("<input name='Completed'"));

  results = Run(Json::array({{{"command", "Close Now"},
                              {"params",
                               {FormOf({{"requestno", number},
                                        {"Completed", "2026-11-30 15:30"},
                                        {"ResolutionCode", "FIXED"},
                                        {"Resolution", "Replaced the disk"},
                                        {"DownFlag", "on"},
                                        {"KIRVSCheckbox_DownFlag", "1"},
                                        {"DownTime", ""},
                                        {"Status", "Open"},
                                        {"KIRVSCurrentUser", "ann"}}),
                                person}}}}));
  ASSERT_TRUE(results[0]["result"]) << results[0]["ErrorDescription"];
  EXPECT_EQ(
      "0",
      Count("SELECT COUNT(*) FROM Current_Requests WHERE RequestNo=" + number));
  auto completed = testing::QuerySql(
      db_,
      "SELECT Status, RequestCost, HoursWorked, LeadTime, DownTime, "
      "Resolution FROM Completed_Requests WHERE RequestNo=" +
          number);
  ASSERT_EQ(1u, completed.size());
  EXPECT_EQ("Closed", completed[0][0]);
  EXPECT_DOUBLE_EQ(180, std::stod(completed[0][1]));
  EXPECT_DOUBLE_EQ(3.5, std::stod(completed[0][2]));
  EXPECT_NEAR(5.5, std::stod(completed[0][3]), 1e-9);
  EXPECT_NEAR(5.5, std::stod(completed[0][4]), 1e-9);
  EXPECT_EQ("Replaced the disk", completed[0][5]);
  std::string after = results[0]["HTMLString"];
  EXPECT_NE(std::string::npos,
            after.find("Outstanding Service Issues for: Ann"));
  EXPECT_EQ(std::string::npos, after.find("value=" + number + " type=submit>"));
}

TEST_F(RequestLifecycleTest, LogAddSaveOpenAndCorrectAnActivity) {
  ExecSql(db_, "INSERT INTO Logins (UserName) VALUES ('ann')");
  const std::string number = Count(
      "SELECT MIN(RequestNo) FROM Current_Requests WHERE Personnel='Ann "
      "Archer'");
  const std::string before = Count(
      "SELECT COUNT(*) FROM Request_Activities WHERE RequestNo=" + number);
  const std::string act_no = std::to_string(std::stoi(before) + 1);
  auto activity = [&](const std::string& duration, bool is_new) {
    Json form = FormOf({{"requestno", number},
                        {"actno", act_no},
                        {"Date/Time", "2026-12-01 10:00"},
                        {"Personnel", "Ann Archer"},
                        {"WorkGroup", "Service Desk"},
                        {"Duration", duration},
                        {"ChargeRate", "45"},
                        {"Description", "Reseated the memory"},
                        {"KIRVSCurrentUser", "ann"}});
    if (is_new) form["form"].push_back({"KIRVSNewActivity", "1"});
    return form;
  };
  Json results = Run(Json::array({
      {{"command", "Activities"}, {"params", {number}}},
      {{"command", "Add Activity"}, {"params", {number, "Ann Archer"}}},
      {{"command", "Save Activity"},
       {"params", {activity("1.5", true), number}}},
      {{"command", "Show Activity"},
       {"params", {FormOf({{"RequestNo", number}}), act_no}}},
      {{"command", "Save Activity"},
       {"params", {activity("2", false), number}}},
  }));
  for (const Json& r : results)
    EXPECT_TRUE(r["result"]) << r["ErrorDescription"];
  EXPECT_NE(std::string::npos,
            std::string(results[0]["HTMLString"])
                .find("Activity Log for Service Request: " + number));
  EXPECT_NE(std::string::npos,
            std::string(results[1]["HTMLString"])
                .find("<input name=actno value=" + act_no + " type=hidden>"));
  // The save is followed by the log, which now has the activity's button.
  EXPECT_NE(std::string::npos,
            std::string(results[2]["HTMLString"])
                .find("value='#" + act_no + "' type=submit>"));
  EXPECT_NE(std::string::npos, std::string(results[3]["HTMLString"])
                                   .find("value='Reseated the memory'"));
  // The correction changed the activity instead of adding one.
  EXPECT_EQ(act_no, Count("SELECT COUNT(*) FROM Request_Activities WHERE "
                          "RequestNo=" +
                          number));
  EXPECT_EQ("2.0", Count("SELECT Duration FROM Request_Activities WHERE "
                         "RequestNo=" +
                         number + " AND ActNo=" + act_no));
}

TEST_F(RequestLifecycleTest, BadInputLeavesTheDatabaseAsItWas) {
  const std::string dump_query =
      "SELECT (SELECT group_concat(RequestNo || Description || "
      "IFNULL(Allocated, '')) FROM Current_Requests) || "
      "(SELECT COUNT(*) FROM Request_AuditTrail) || "
      "(SELECT LastNumber FROM Counters)";
  const std::string before = Count(dump_query);
  const std::string number =
      Count("SELECT MIN(RequestNo) FROM Current_Requests");
  Json results = Run(Json::array({
      {{"command", "Login"},
       {"params", {FormOf({{"txtUserId", "ann"}, {"txtPassword", "ann123"}})}}},
      {{"command", "Save Request"},
       {"params",
        {FormOf({{"requestno", number},
                 {"Allocated", "not a date"},
                 {"KIRVSCurrentUser", "ann"}}),
         "Ann Archer"}}},
      {{"command", "Save Request"},
       {"params",
        {FormOf({{"requestno", number},
                 {"NoSuchColumn", "x"},
                 {"KIRVSCurrentUser", "ann"}}),
         "Ann Archer"}}},
      {{"command", "Save Request"},
       {"params",
        {FormOf({{"requestno", number},
                 {"Description", "x"},
                 {"KIRVSCurrentUser", "mallory"}}),
         "Ann Archer"}}},
      {{"command", "Save Request"}, {"params", {"not a form", "Ann Archer"}}},
      {{"command", "Close Now"},
       {"params",
        {FormOf({{"requestno", "999999"}, {"KIRVSCurrentUser", "ann"}}),
         "Ann Archer"}}},
  }));
  EXPECT_EQ(
      "An error occurred whilst trying to update fields for the current "
      "request (strQuery: SELECT * FROM [Current_Requests] WHERE "
      "RequestNo=" +
          number + "<br>requestno=" + number + ",Allocated=not a date).",
      results[1]["ErrorDescription"]);
  EXPECT_EQ(
      "An error occurred whilst trying to update fields for the current "
      "request (strQuery: SELECT * FROM [Current_Requests] WHERE "
      "RequestNo=" +
          number + "<br>requestno=" + number + ",NoSuchColumn=x).",
      results[2]["ErrorDescription"]);
  EXPECT_EQ(
      "Unable to update current request.  There is no login entry for "
      "the current user.<br><br>Re-enter your login details and retry "
      "the transaction.",
      results[3]["ErrorDescription"]);
  EXPECT_EQ("Unable to process request object submitted by ASP form.",
            results[4]["ErrorDescription"]);
  EXPECT_EQ("Unable to locate request: 999999 in outstanding requests table.",
            results[5]["ErrorDescription"]);
  for (size_t i = 1; i < results.size(); ++i) {
    EXPECT_FALSE(results[i]["result"]) << i;
  }
  EXPECT_EQ(before, Count(dump_query));
}

TEST_F(RequestLifecycleTest, NotJsonOrTheWrongShapeRunsNothing) {
  int code;
  std::string out = RunKirvs(dir_, "run --ini " + ini_, "{not json", &code);
  EXPECT_EQ(2, code);
  EXPECT_EQ("", out);
  for (const char* input :
       {"[]", "{\"calls\": 5}", "{\"calls\": [{\"params\": []}]}",
        "{\"calls\": [{\"command\": \"Login\", \"params\": [1, 2, 3, 4]}]}",
        "{\"calls\": [{\"command\": \"Login\", \"params\": [{\"x\": 1}]}]}",
        "{\"calls\": [{\"command\": \"Logout\", \"params\": [\"ann\"]}, "
        "{\"command\": \"Login\", \"params\": [{\"form\": [[\"a\"]]}]}]}"}) {
    out = RunKirvs(dir_, "run --ini " + ini_, input, &code);
    EXPECT_EQ(2, code) << input;
    EXPECT_EQ("", out) << input;
    std::ifstream errors(dir_.File("stderr.txt"));
    std::string message((std::istreambuf_iterator<char>(errors)), {});
    EXPECT_NE(std::string::npos, message.find("kirvs run: ")) << input;
  }
}

}  // namespace
}  // namespace kirvs

// `kirvs run` on a demo help desk: the JSON it reads and writes and its exit
// codes. What the commands do is walked by the handler tests.

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "test_support.h"

namespace kirvs {
namespace {

using Json = nlohmann::json;
using testing::ProgramRun;
using testing::RunKirvs;

Json FormOf(std::initializer_list<std::pair<std::string, std::string>> fields) {
  Json list = Json::array();
  for (const auto& [name, value] : fields) list.push_back({name, value});
  return Json{{"form", list}};
}

// On each store: `kirvs run` reads and writes the same JSON.
class RequestLifecycleTest : public ::testing::TestWithParam<Store> {
 protected:
  void SetUp() override {
    if (!desk_.available()) GTEST_SKIP() << testing::kNoPostgres;
  }

  ProgramRun RunWith(const std::string& input) {
    return RunKirvs({"run", "--ini", desk_.ini_path()}, input);
  }

  // Runs the calls on one session object; returns the results.
  Json Run(const Json& calls) {
    ProgramRun run = RunWith(Json{{"calls", calls}}.dump());
    EXPECT_EQ(0, run.exit_code) << run.err;
    return Json::parse(run.out)["results"];
  }

  testing::DemoDesk desk_{GetParam()};
};

KIRVS_ON_EVERY_STORE(RequestLifecycleTest);

TEST_P(RequestLifecycleTest, EachCallReportsResultParametersAndProperties) {
  Json results = Run(Json::array({
      {{"command", "Startup"},
       {"params", {"", Json{{"date", "2025-03-03 10:00:00"}}, 5}}},
      {{"command", "Login"},
       {"params", {FormOf({{"txtUserId", "ann"}, {"txtPassword", "ann123"}})}}},
      {{"command", "Show Request"}, {"params", {"12x", "Ann Archer", true}}},
      {{"command", nullptr}},
  }));
  ASSERT_EQ(4u, results.size());
  EXPECT_TRUE(results[0]["result"]);
  EXPECT_EQ("STARTUP", results[0]["CommandString"]);
  EXPECT_EQ("", results[0]["CommandParam1"]);
  EXPECT_EQ(Json({{"date", "2025-03-03 10:00:00"}}),
            results[0]["CommandParam2"]);
  EXPECT_EQ(5, results[0]["CommandParam3"]);
  EXPECT_EQ(Json({{"empty", true}}), results[1]["CommandParam2"]);
  EXPECT_NE("", results[0]["HTMLString"]);
  // A successful login writes the personnel name back into the first
  // parameter and sets the session's properties.
  EXPECT_TRUE(results[1]["result"]);
  EXPECT_EQ("Ann Archer", results[1]["CommandParam1"]);
  EXPECT_EQ("ann", results[1]["UserId"]);
  EXPECT_EQ("Ann Archer", results[1]["PersonnelName"]);
  EXPECT_EQ(0, results[1]["RequestNo"]);
  // (Its message: the golden show_request_bad_number.)
  EXPECT_FALSE(results[2]["result"]);
  EXPECT_EQ(true, results[2]["CommandParam3"]);
  EXPECT_NE("", results[2]["ErrorDescription"]);
  // A null command runs nothing and keeps the previous flag.
  EXPECT_FALSE(results[3]["result"]);
  EXPECT_TRUE(results[3]["CommandString"].is_null());
}

TEST_P(RequestLifecycleTest, NotJsonOrTheWrongShapeRunsNothing) {
  for (const char* input :
       {"{not json", "[]", "{\"calls\": 5}", "{\"calls\": [{\"params\": []}]}",
        "{\"calls\": [{\"command\": \"Login\", \"params\": [1, 2, 3, 4]}]}",
        "{\"calls\": [{\"command\": \"Login\", \"params\": [{\"x\": 1}]}]}",
        "{\"calls\": [{\"command\": \"Login\", \"params\": [[1]]}]}",
        "{\"calls\": [{\"command\": \"Logout\", \"params\": [\"ann\"]}, "
        "{\"command\": \"Login\", \"params\": [{\"form\": [[\"a\"]]}]}]}"}) {
    ProgramRun run = RunWith(input);
    EXPECT_EQ(2, run.exit_code) << input;
    EXPECT_EQ("", run.out) << input;
    EXPECT_NE(std::string::npos, run.err.find("kirvs run: ")) << input;
  }
}

// A folder where no demo help desk can be made is not served.
TEST(ServeCommandTest, AFolderThatCannotBeMadeIsNotServed) {
  testing::TempDir dir;
  std::ofstream(dir.File("file")) << "not a folder";
  ProgramRun run = RunKirvs({"serve", dir.File("file/desk"), "--port", "0"});
  EXPECT_EQ(1, run.exit_code);
  EXPECT_EQ(0u, run.err.find("kirvs init: cannot create")) << run.err;
  EXPECT_EQ(run.err.size() - 1, run.err.find('\n')) << run.err;
}

}  // namespace
}  // namespace kirvs

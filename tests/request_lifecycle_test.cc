// `kirvs run` on a demo help desk: the JSON it reads and writes and its exit
// codes. What the commands do is walked by the handler tests.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "test_support.h"

namespace kirvs {
namespace {

using Json = nlohmann::json;
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

  TempDir dir_;
  std::string ini_;
};

TEST_F(RequestLifecycleTest, EachCallReportsResultParametersAndProperties) {
  Json results = Run(Json::array({
      {{"command", "Startup"},
       {"params", {"", Json{{"date", "2025-03-03 10:00:00"}}}}},
      {{"command", "Login"},
       {"params", {FormOf({{"txtUserId", "ann"}, {"txtPassword", "ann123"}})}}},
      {{"command", "Show Request"}, {"params", {"12x", "Ann Archer", 5}}},
      {{"command", nullptr}},
  }));
  ASSERT_EQ(4u, results.size());
  EXPECT_TRUE(results[0]["result"]);
  EXPECT_EQ("STARTUP", results[0]["CommandString"]);
  EXPECT_EQ("", results[0]["CommandParam1"]);
  EXPECT_EQ(Json({{"date", "2025-03-03 10:00:00"}}),
            results[0]["CommandParam2"]);
  EXPECT_EQ(Json({{"empty", true}}), results[1]["CommandParam2"]);
  EXPECT_NE("", results[0]["HTMLString"]);
  // A successful login writes the personnel name back into the first
  // parameter and sets the session's properties.
  EXPECT_TRUE(results[1]["result"]);
  EXPECT_EQ("Ann Archer", results[1]["CommandParam1"]);
  EXPECT_EQ("ann", results[1]["UserId"]);
  EXPECT_EQ("Ann Archer", results[1]["PersonnelName"]);
  EXPECT_EQ(0, results[1]["RequestNo"]);
  EXPECT_FALSE(results[2]["result"]);
  EXPECT_EQ(5, results[2]["CommandParam3"]);
  EXPECT_EQ(
      "An error occurred while trying to retrieve a request from the "
      "Current_Requests table (not a request number: 12x).",
      results[2]["ErrorDescription"]);
  // A null command runs nothing and keeps the previous flag.
  EXPECT_FALSE(results[3]["result"]);
  EXPECT_TRUE(results[3]["CommandString"].is_null());
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

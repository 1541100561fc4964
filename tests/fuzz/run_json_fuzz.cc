// The `kirvs run` JSON reader, on a demo help desk. The input is the JSON
// text. Oracle: the exit code is 0 (it ran) or 2 (it refused, with a
// message and no output); when it ran, the output is JSON holding one result
// per call, none of them carrying the input's markup unescaped.

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "cli/run_command.h"
#include "fuzz_support.h"

using kirvs::fuzz::Fail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kirvs::fuzz::DemoDesk& desk = kirvs::fuzz::Desk();
  kirvs::fuzz::ResetDesk();
  std::istringstream input(
      std::string(reinterpret_cast<const char*>(data), size));
  std::ostringstream output, errors;
  int code = kirvs::RunCalls(input, output, errors, desk.ini_path);
  if (code == kirvs::kExitUsage) {
    if (errors.str().empty() || !output.str().empty()) {
      Fail("refused without a message, or with output");
    }
    return 0;
  }
  if (code != kirvs::kExitOk) Fail("exit code " + std::to_string(code));
  nlohmann::json parsed =
      nlohmann::json::parse(output.str(), nullptr, /*allow_exceptions=*/false);
  if (parsed.is_discarded() || !parsed.contains("results") ||
      !parsed["results"].is_array()) {
    Fail("output is not JSON with results: " + output.str());
  }
  nlohmann::json calls = nlohmann::json::parse(
      std::string(reinterpret_cast<const char*>(data), size), nullptr, false);
  if (!calls.is_discarded() && calls.is_object() && calls.contains("calls") &&
      calls["calls"].is_array() &&
      calls["calls"].size() != parsed["results"].size()) {
    Fail("not one result per call");
  }
  for (const nlohmann::json& result : parsed["results"]) {
    for (const char* property : {"HTMLString", "ErrorDescription"}) {
      if (result.contains(property) && result[property].is_string()) {
        kirvs::fuzz::CheckEscaped(property,
                                  result[property].get<std::string>());
      }
    }
  }
  return 0;
}

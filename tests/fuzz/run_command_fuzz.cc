// RunCommand on a demo help desk. The input is a command (first line), the
// second parameter (second line) and the first parameter: after a third
// line "form", the posted fields, one "name=value" a line; otherwise the
// third line as text. Oracle: no exception, and the marker "<zq" that
// inputs carry never reaches HTMLString or ErrorDescription unescaped.

#include <memory>
#include <string>

#include "fuzz_support.h"
#include "kirvs/session.h"
#include "kirvs/submitted_form.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kirvs::fuzz::DemoDesk& desk = kirvs::fuzz::Desk();
  kirvs::fuzz::ResetDesk();
  std::vector<std::string> lines = kirvs::fuzz::Lines(
      std::string_view(reinterpret_cast<const char*>(data), size));
  lines.resize(std::max<size_t>(lines.size(), 3));
  kirvs::Variant command(lines[0]), p2(lines[1]), p3;
  kirvs::Variant p1(lines[2]);
  if (lines[2] == "form") {
    p1 = kirvs::Variant::Form(std::make_shared<kirvs::SubmittedForm>(
        kirvs::fuzz::FieldsOf(lines, 3)));
  }
  kirvs::KIRVSession session(desk.ini_path);
  session.RunCommand(command, p1, p2, p3);
  kirvs::fuzz::CheckEscaped("HTMLString", session.HTMLString().ToText());
  kirvs::fuzz::CheckEscaped("ErrorDescription",
                            session.ErrorDescription().ToText());
  return 0;
}

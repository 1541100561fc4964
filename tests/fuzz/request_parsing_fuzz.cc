// The web front's decoders of posted forms and cookies. The input is a body
// or a header. Oracle: every decoded value is valid UTF-8 (the engine sees
// only text), and making text valid twice changes nothing the second time.

#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "web/http/request_parsing.h"

namespace {

void CheckValid(const std::string& what, const std::string& text) {
  if (kirvs::web::ValidUtf8(text) != text) {
    kirvs::fuzz::Fail(what + " is not valid UTF-8");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  for (const kirvs::SubmittedForm::Field& field :
       kirvs::web::ParseFormBody(input)) {
    CheckValid("a field name", field.first);
    CheckValid("a field value", field.second);
  }
  CheckValid("ValidUtf8", kirvs::web::ValidUtf8(input));
  kirvs::web::IsFormContentType(input);
  // The first line names the cookie; the rest is the header.
  size_t end = input.find('\n');
  if (end != std::string_view::npos) {
    kirvs::web::CookieValue(input.substr(end + 1), input.substr(0, end));
  }
  kirvs::web::CookieValue(input, "KIRVSSession");
  return 0;
}

// Shared pieces of the fuzz targets: a demo help desk made once per process,
// put back to its first state before each input, and a reader of inputs as
// lines.

#ifndef KIRVS_TESTS_FUZZ_FUZZ_SUPPORT_H_
#define KIRVS_TESTS_FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kirvs/submitted_form.h"

namespace kirvs::fuzz {

// A demo help desk (`kirvs init --demo`) in a temporary folder, with a login
// entry for every demo user so that saves get past the login check.
struct DemoDesk {
  std::string dir;
  std::string db_path;
  std::string ini_path;
};

// The process's desk, made on first use; aborts when it cannot be made.
const DemoDesk& Desk();

// Puts the desk's database and settings file back as they were made, so
// that each input starts from the same state and a finding reproduces.
void ResetDesk();

// The input split at line ends.
std::vector<std::string> Lines(std::string_view input);

// Fields from lines "name=value" (a line without "=" is a name with an
// empty value).
std::vector<SubmittedForm::Field> FieldsOf(
    const std::vector<std::string>& lines, size_t first);

// Prints `what` and aborts: the input found a fault.
[[noreturn]] void Fail(const std::string& what);

// A new temporary folder named after `prefix`, removed when the process
// ends; aborts when it cannot be made.
std::string TempFolder(const char* prefix);

// Aborts with `what` and the offending text when `text` holds the marker
// "<zq" that inputs carry: a value from outside went into markup unescaped.
void CheckEscaped(std::string_view what, std::string_view text);

}  // namespace kirvs::fuzz

#endif  // KIRVS_TESTS_FUZZ_FUZZ_SUPPORT_H_

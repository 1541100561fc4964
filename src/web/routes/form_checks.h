// The checks the front makes before it passes a save to the engine: the
// fields that section [Web] of the settings file requires, as a comma
// separated list of field names:
//
//   RequiredToSave   the saves of a request page (default: Description,
//                    Priority, Status, Personnel)
//   RequiredToClose  "Close Now" (default: ResolutionCode, Resolution)
//
// A required field that the page posted empty (or blank, as the lists'
// empty choice is) refuses the post, named by its caption (captions.h); a
// field the page does not show is not asked for.
//
// Thread safety: pure functions; the settings file is read at every call.

#ifndef KIRVS_SRC_WEB_ROUTES_FORM_CHECKS_H_
#define KIRVS_SRC_WEB_ROUTES_FORM_CHECKS_H_

#include <string>
#include <string_view>
#include <vector>

#include "kirvs/submitted_form.h"

namespace kirvs::web {

// A field that keeps a post from being carried out, and why, in words for
// the person who typed it (plain text).
struct FieldProblem {
  std::string field;  // the field's name as posted
  std::string message;
};

// The required fields that `command` left empty in `posted`, in posted
// order; empty when it may go ahead.
std::vector<FieldProblem> MissingRequiredFields(
    std::string_view command, const SubmittedForm& posted,
    const std::string& settings_path);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_ROUTES_FORM_CHECKS_H_

// Writing a posted record page back to its row: every posted field that is
// not a control field (a name beginning with "KIRVS") is written to the
// column of the same name, converted by the column's type.
//
// Checkboxes: a browser posts a ticked checkbox and leaves an unticked one
// out, so the form renderer marks each checkbox it draws with a hidden
// "KIRVSCheckbox_" field. A Boolean column is rewritten only when the page
// showed it: true when its field was posted with a value, false when only
// its marker was; a Boolean column the page did not show keeps its value.
//
// An empty field stores null in a date or number column, so that a page
// showing an unset date or number can be saved as it stands.

#ifndef KIRVS_SRC_PAGES_POSTED_FIELDS_H_
#define KIRVS_SRC_PAGES_POSTED_FIELDS_H_

#include <cstdint>
#include <string>

#include "kirvs/submitted_form.h"
#include "kirvs/variant.h"
#include "pages/session_state.h"
#include "platform/record_source.h"
#include "platform/status.h"

namespace kirvs {

struct PostedFieldRules {
  // Remove blanks at the start of text values (request pages do).
  bool trim_leading_blanks = false;
  // Leave a posted RequestNo (any case) out of the row (request pages: the
  // number is the row's key and travels in the hidden requestno).
  bool skip_request_no = false;
};

// Writes the posted fields into the current row of `rs` (not stored).
// Appends name + "=" + value + "," for every non-control field, escaped, to
// `*trace`; and, when `change_list` is not null, name + ":" + value + "|" for
// every column whose value changed (a column going from null to a value
// changes; numbers are compared as numbers). Every field is tried; the
// result is the last failure (a name that is no column, a value that cannot
// be converted), or ok.
Status WritePostedFields(const SubmittedForm& form, RecordSource& rs,
                         const PostedFieldRules& rules, std::string* trace,
                         std::string* change_list);

// The first steps of a save handler: takes the submitted form and reads
// DBPath. Sets ErrorDescription and returns nullptr when `form` holds no
// submitted form or DBPath is missing.
const SubmittedForm* FormAndDatabasePath(SessionState* session,
                                         const Variant& form,
                                         std::string* db_path);

// A number posted in a field (RequestNo, ActNo): rounded to a 32-bit
// integer; 0 when missing or not a number. Only such integers reach a query.
int32_t PostedNumber(const std::string& posted);

// Whether a posted field name is a control field, not a column.
bool IsControlField(const std::string& name);

}  // namespace kirvs

#endif  // KIRVS_SRC_PAGES_POSTED_FIELDS_H_

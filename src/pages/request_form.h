// The request field form: the current row of the session record source as
// an editable two-column grid, two fields to a row. Every page that shows one
// record (request, allocate, schedule, close, new request, activity, new
// activity, item) draws it. Each input is named exactly after its column, so
// the save handlers can write each posted field back to its column.
//
// How a column is shown, first rule that applies (names compared exactly):
//   RequestNo, ActNo                        read-only, pattern "0"
//   Requested                               read-only, General Date
//   Allocated, Completed, Scheduled,
//     Date/Time                             text input of 20, General Date
//   Boolean column                          checkbox, with a hidden control
//                                           field "KIRVSCheckbox_" + name so
//                                           the save knows it was shown
//   long text                               wide input over three cells
//   a coded column (see kLookupTables)      selection list of its code table
//   defined size 255                        wide input, a row of its own
//   anything else                           text input of the defined size

#ifndef KIRVS_SRC_PAGES_REQUEST_FORM_H_
#define KIRVS_SRC_PAGES_REQUEST_FORM_H_

#include <string>
#include <string_view>

#include "pages/session_state.h"

namespace kirvs {

// The prefix of the hidden field that marks a checkbox the page showed.
inline constexpr std::string_view kCheckboxMarker = "KIRVSCheckbox_";

// The code table whose rows feed the selection list of a column; empty when
// the column is not a coded column.
std::string_view LookupTableFor(std::string_view column_name);

// Appends the form for the current row of session->current_rs to `*page`.
// Sets ErrorDescription to the text of the last error met while rendering
// (a value that could not be read: the field then shows no value), or to
// empty text when none. Fails when the rows of a selection list's code table
// cannot be read: the page is then not to be shown.
// REQUIRES: session->current_rs is open.
Status RenderRequestForm(SessionState* session, std::string* page);

}  // namespace kirvs

#endif  // KIRVS_SRC_PAGES_REQUEST_FORM_H_

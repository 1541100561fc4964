// The engine's failures as a person reads them. ErrorDescription is written
// for the developer (it may hold the query and the database's own words);
// the page shows a sentence that names the field to correct, and the full
// text goes to the access log only.
//
// Thread safety: pure functions.

#ifndef KIRVS_SRC_WEB_ROUTES_PLAIN_ERRORS_H_
#define KIRVS_SRC_WEB_ROUTES_PLAIN_ERRORS_H_

#include <string>
#include <string_view>
#include <vector>

#include "kirvs/submitted_form.h"
#include "web/pages/captions.h"

namespace kirvs::web {

struct PlainError {
  std::string text;                 // plain text
  std::vector<std::string> fields;  // the fields it is about, if any
};

// The sentence for the engine's ErrorDescription `engine_html` after a
// command that was given the `posted` fields; it names a field by its
// caption.
PlainError PlainErrorOf(std::string_view engine_html,
                        const SubmittedForm& posted, const Captions& captions);

// `html` as one line of plain text: tags become blanks, character
// references their characters.
std::string PlainText(std::string_view html);

// The engine's ErrorDescription as the access log keeps it: plain text, at
// most 600 bytes, and withheld whole when it mentions a password (a save
// trace quotes every posted field, and someone may post one).
std::string LoggedError(std::string_view engine_html);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_ROUTES_PLAIN_ERRORS_H_

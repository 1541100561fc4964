// Names of the fields that the front itself adds to every form it wraps
// around a page of the engine, and reads back from every post.
//
// Thread-safe: constants.

#ifndef KIRVS_SRC_WEB_PAGES_FORM_FIELDS_H_
#define KIRVS_SRC_WEB_PAGES_FORM_FIELDS_H_

namespace kirvs::web {

// The CSRF token of the session (or of the login page).
inline constexpr char kTokenField[] = "KIRVSToken";
// Which kept page of the session the form was shown on.
inline constexpr char kPageField[] = "KIRVSPage";
// The one-time id of a form that registers something new.
inline constexpr char kFormIdField[] = "KIRVSFormId";
// The caption of the button clicked.
inline constexpr char kCommandField[] = "KIRVSCommand";

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_PAGES_FORM_FIELDS_H_

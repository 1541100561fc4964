// The whole document around a page fragment of the engine: an HTML5 page in
// UTF-8 with the stylesheet, the page script, the bar that says who is
// signed in, an error box or notice, and one form that posts back to the
// help desk with the CSRF token.
//
// Pure and thread-safe.

#ifndef KIRVS_SRC_WEB_PAGES_PAGE_H_
#define KIRVS_SRC_WEB_PAGES_PAGE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kirvs/submitted_form.h"
#include "web/pages/captions.h"

namespace kirvs::web {

struct PageView {
  // The engine's HTMLString, which becomes the content of the form. The
  // engine escapes every value it puts in, so it is used as it stands.
  std::string fragment;
  // KIRVSToken of the form.
  std::string token;
  // KIRVSPage of the form: which kept page it is; 0 adds no field.
  uint64_t page_number = 0;
  // KIRVSFormId of a form that registers something new; empty: none.
  std::string form_id;
  // Shown in the error box when not empty: safe HTML (the engine's
  // ErrorDescription, whose values are escaped, or an escaped message).
  std::string error_html;
  // Shown as a notice when not empty: plain text, followed by a link to
  // `notice_link_href` (an address of the help desk) when that is not empty.
  std::string notice;
  std::string notice_link_href;
  std::string notice_link_text;
  // Who is signed in (plain text), for the bar at the top; empty: nobody.
  std::string signed_in_as;
  // Values to put back into the form's inputs (after a failed command).
  std::vector<SubmittedForm::Field> refill;
  // The fields the error is about: marked, and the first one focused.
  std::vector<std::string> invalid_fields;
  // The captions of the column names the page shows; null: the front's own.
  const Captions* captions = nullptr;
  // The current moment, for the ages of the dates in lists; 0: no ages.
  double now = 0;
};

// The document for a page of the help desk. Its one level-one heading is
// the banner's title, or the help desk's name on a page without a banner.
std::string RenderPage(const PageView& view);

// A document without a form, for the answers that run no command (403, 404,
// 413, 500): a heading, a message and a link back to the help desk. Both
// texts are plain text.
std::string RenderProblemPage(std::string_view heading,
                              std::string_view message);

// The title of a fragment, as markup: the text of its banner (escaped by the
// engine already, and cut before any tag), or the help desk's name.
std::string PageTitle(std::string_view fragment);

// The fields worth putting back after a failed command: not the front's
// control fields (KIRVS...) and never a password.
std::vector<SubmittedForm::Field> RefillFields(const SubmittedForm& posted);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_PAGES_PAGE_H_

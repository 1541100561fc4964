// What the web front reads from a request: the posted form fields, in the
// order the browser sent them (the engine relies on posted order, which a
// map of parameters would lose), and cookies.
//
// Pure and thread-safe.

#ifndef KIRVS_SRC_WEB_HTTP_REQUEST_PARSING_H_
#define KIRVS_SRC_WEB_HTTP_REQUEST_PARSING_H_

#include <string>
#include <string_view>
#include <vector>

#include "kirvs/submitted_form.h"

namespace kirvs::web {

// The fields of an application/x-www-form-urlencoded body, in posted order:
// "+" is a blank, %XX a byte (a malformed escape stays as it stands), and
// bytes that are not UTF-8 become U+FFFD, so that every value the engine
// sees is text.
std::vector<SubmittedForm::Field> ParseFormBody(std::string_view body);

// Whether a Content-Type names a body that ParseFormBody reads (an empty
// one counts: a form without fields may come without it).
bool IsFormContentType(std::string_view content_type);

// The value of the cookie `name` in a Cookie header; empty when absent.
std::string CookieValue(std::string_view cookie_header, std::string_view name);

// `text` with every byte sequence that is not UTF-8 replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_HTTP_REQUEST_PARSING_H_

// Reading the body of a post as it arrives, rather than letting the
// library buffer it: the library would cap form bodies far below our limit
// and lose the order of the fields.
//
// Thread-safe.

#ifndef KIRVS_SRC_WEB_HTTP_FORM_READER_H_
#define KIRVS_SRC_WEB_HTTP_FORM_READER_H_

#include <httplib.h>

#include <cstddef>
#include <optional>
#include <vector>

#include "kirvs/submitted_form.h"

namespace kirvs::web {

// The most fields a post may hold; no page of the help desk comes near it,
// and the engine looks fields up by name.
constexpr size_t kMaxFormFields = 1000;

// The fields of a post in posted order, or nullopt after answering 413
// (over `limit` bytes or kMaxFormFields fields), 415 (not a form of our
// pages) or 400 (cut short, or a name or value holding a NUL character).
std::optional<std::vector<SubmittedForm::Field>> ReadForm(
    const httplib::Request& req, httplib::Response& res,
    const httplib::ContentReader& read, size_t limit);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_HTTP_FORM_READER_H_

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
#include <string>

namespace kirvs::web {

// The body of a post, or nullopt after answering 413 (over `limit`), 415
// (not a form of our pages) or 400 (cut short).
std::optional<std::string> ReadForm(const httplib::Request& req,
                                    httplib::Response& res,
                                    const httplib::ContentReader& read,
                                    size_t limit);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_HTTP_FORM_READER_H_

// The pages of the answers that run no command, by HTTP status: what went
// wrong, in the help desk's words.
//
// Pure and thread-safe.

#ifndef KIRVS_SRC_WEB_PAGES_PROBLEM_PAGES_H_
#define KIRVS_SRC_WEB_PAGES_PROBLEM_PAGES_H_

#include <string>

namespace kirvs::web {

// The document for `status` (404, 413, 415, 500; any other reads as a bad
// request).
std::string RenderStatusPage(int status);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_PAGES_PROBLEM_PAGES_H_

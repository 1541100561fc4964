// How the HTTP server answers: every answer a whole HTML document that the
// browser does not store, and a problem page for every failure, including
// those the library answers itself (400, 404, 413) and any exception from a
// route (500, its text in the access log). Exceptions are caught here
// once; routes do not catch.
//
// Thread-safe.

#ifndef KIRVS_SRC_WEB_HTTP_ANSWERS_H_
#define KIRVS_SRC_WEB_HTTP_ANSWERS_H_

#include <httplib.h>

#include <string>

namespace kirvs::web {

// Answers `status` with the document `body`.
void SetDocument(httplib::Response& res, int status, std::string body);

// Answers `status` with its problem page.
void SetProblem(httplib::Response& res, int status);

// Installs the error and exception handlers on `server`.
void AnswerProblems(httplib::Server* server);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_HTTP_ANSWERS_H_

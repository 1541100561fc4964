#include "web/http/answers.h"

#include <exception>
#include <utility>

#include "web/http/request_log.h"
#include "web/pages/problem_pages.h"

namespace kirvs::web {

void SetDocument(httplib::Response& res, int status, std::string body) {
  res.status = status;
  res.headers.erase("Cache-Control");
  // Pages show who is signed in and what he may see: the browser keeps no
  // copy, so after a logout the back button cannot bring one back.
  res.set_header("Cache-Control", "no-store");
  res.headers.erase("Content-Type");
  res.set_header("Content-Type", "text/html; charset=utf-8");
  res.body = std::move(body);
}

void SetProblem(httplib::Response& res, int status) {
  SetDocument(res, status, RenderStatusPage(status));
}

void AnswerProblems(httplib::Server* server) {
  server->set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty()) SetProblem(res, res.status);
        return httplib::Server::HandlerResponse::Handled;
      }));

  // The one place where an exception from anything below becomes an
  // answer. Whatever the route had set up for the browser is dropped.
  server->set_exception_handler([](const httplib::Request&,
                                   httplib::Response& res,
                                   std::exception_ptr error) {
    std::string text = "unknown exception";
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      text = e.what();
    } catch (...) {
    }
    RequestNote& note = CurrentRequestNote();
    note.result = "error";
    note.error = text.empty() ? "exception" : text;
    res.headers.erase("Set-Cookie");
    res.headers.erase("Retry-After");
    SetProblem(res, 500);
  });
}

}  // namespace kirvs::web

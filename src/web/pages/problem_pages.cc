#include "web/pages/problem_pages.h"

#include "web/pages/page.h"

namespace kirvs::web {

namespace {

struct Problem {
  const char* heading;
  const char* message;
};

Problem ProblemFor(int status) {
  switch (status) {
    case 404:
      return {"Page not found", "The help desk has no page at this address."};
    case 413:
      return {"Too much data",
              "The form sent more data than the help desk accepts, so "
              "nothing was done."};
    case 415:
      return {"Unsupported form",
              "The help desk accepts forms sent by its own pages only."};
    case 500:
      return {"Something went wrong",
              "The help desk met an internal error. Nothing more was done "
              "after it; please try again."};
    default:
      return {"Bad request", "The help desk could not read this request."};
  }
}

}  // namespace

std::string RenderStatusPage(int status) {
  Problem problem = ProblemFor(status);
  return RenderProblemPage(problem.heading, problem.message);
}

}  // namespace kirvs::web

#include "web/routes/addresses.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "web/http/answers.h"
#include "web/http/form_reader.h"
#include "web/http/request_log.h"
#include "web/http/request_parsing.h"
#include "web/pages/assets.h"
#include "web/routes/page_addresses.h"

namespace kirvs::web {

namespace {

void SetAsset(httplib::Response& res, std::string_view content,
              const char* type) {
  res.set_header("Cache-Control", "public, max-age=86400");
  res.set_content(content.data(), content.size(), type);
}

void SendReply(httplib::Response& res, Reply reply) {
  for (const std::string& cookie : reply.set_cookies) {
    res.set_header("Set-Cookie", cookie);
  }
  if (!reply.location.empty()) res.set_header("Location", reply.location);
  if (!reply.retry_after.empty()) {
    res.set_header("Retry-After", reply.retry_after);
  }
  RequestNote& note = CurrentRequestNote();
  note.command = std::move(reply.command);
  note.result = std::move(reply.result);
  note.user = std::move(reply.user);
  if (!reply.error.empty()) note.error = std::move(reply.error);
  SetDocument(res, reply.status, std::move(reply.body));
}

Visit VisitOf(const httplib::Request& req) {
  std::string cookies = req.get_header_value("Cookie");
  Visit visit;
  visit.session_cookie = CookieValue(cookies, HelpDeskFront::kSessionCookie);
  visit.browser_cookie = CookieValue(cookies, HelpDeskFront::kBrowserCookie);
  visit.pending_cookie = CookieValue(cookies, HelpDeskFront::kPendingCookie);
  visit.address = req.remote_addr;
  return visit;
}

// The raw query of the address, from its "?"; empty without one.
std::string_view QueryOf(const httplib::Request& req) {
  size_t mark = req.target.find('?');
  if (mark == std::string::npos) return {};
  return std::string_view(req.target).substr(mark);
}

}  // namespace

void AddRoutes(httplib::Server* server, HelpDeskFront* front,
               size_t body_limit) {
  // Every page's address; the files below are registered first, since the
  // library takes the first pattern that matches.
  auto show = [front](const httplib::Request& req, httplib::Response& res) {
    std::optional<AddressedPage> page = PageAtAddress(req.path, QueryOf(req));
    if (!page) return SetProblem(res, 404);
    SendReply(res, front->Show(VisitOf(req), *page));
  };

  server->Post("/", httplib::Server::HandlerWithContentReader(
                        [front, body_limit](
                            const httplib::Request& req, httplib::Response& res,
                            const httplib::ContentReader& read) {
                          auto fields = ReadForm(req, res, read, body_limit);
                          if (!fields) return;
                          Visit visit = VisitOf(req);
                          visit.posted = SubmittedForm(std::move(*fields));
                          SendReply(res, front->Post(visit));
                        }));

  // A post without a body reaches the plain handler instead.
  server->Post(
      "/", httplib::Server::Handler(
               [front](const httplib::Request& req, httplib::Response& res) {
                 SendReply(res, front->Post(VisitOf(req)));
               }));

  server->Get("/kvlogo.gif",
              [](const httplib::Request&, httplib::Response& res) {
                SetAsset(res, LogoGif(), "image/gif");
              });
  server->Get("/kirvs.css",
              [](const httplib::Request&, httplib::Response& res) {
                SetAsset(res, Stylesheet(), "text/css; charset=utf-8");
              });
  server->Get("/kirvs.js", [](const httplib::Request&, httplib::Response& res) {
    SetAsset(res, Script(), "text/javascript; charset=utf-8");
  });
  auto lists = [front](const httplib::Request& req, httplib::Response& res) {
    SendReply(res, front->ShowRequests(VisitOf(req), req.path, QueryOf(req)));
  };
  server->Get("/find", lists);
  server->Get("/queues/[a-z]+", lists);
  for (const char* pattern :
       {"/", "/requests/.+", "/items/.+", "/inventory", "/solutions"}) {
    server->Get(pattern, show);
  }
}

}  // namespace kirvs::web

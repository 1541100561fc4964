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
  if (!reply.retry_after.empty()) {
    res.set_header("Retry-After", reply.retry_after);
  }
  RequestNote& note = CurrentRequestNote();
  note.command = std::move(reply.command);
  note.result = std::move(reply.result);
  note.user = std::move(reply.user);
  SetDocument(res, reply.status, std::move(reply.body));
}

Visit VisitOf(const httplib::Request& req) {
  std::string cookies = req.get_header_value("Cookie");
  Visit visit;
  visit.session_cookie = CookieValue(cookies, HelpDeskFront::kSessionCookie);
  visit.browser_cookie = CookieValue(cookies, HelpDeskFront::kBrowserCookie);
  visit.address = req.remote_addr;
  return visit;
}

}  // namespace

void AddRoutes(httplib::Server* server, HelpDeskFront* front,
               size_t body_limit) {
  server->Get("/",
              [front](const httplib::Request& req, httplib::Response& res) {
                SendReply(res, front->Home(VisitOf(req)));
              });

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
}

}  // namespace kirvs::web

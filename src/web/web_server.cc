#include "web/web_server.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "web/housekeeper.h"
#include "web/http/answers.h"
#include "web/http/http_server.h"
#include "web/http/request_log.h"
#include "web/routes/addresses.h"
#include "web/routes/front.h"

namespace kirvs::web {

namespace {

// Often enough that a session ends soon after its idle timeout, seldom
// enough to cost nothing.
std::chrono::milliseconds SweepInterval(std::chrono::milliseconds idle) {
  return std::clamp<std::chrono::milliseconds>(
      idle / 4, std::chrono::milliseconds(10), std::chrono::seconds(30));
}

}  // namespace

WebServer::WebServer(ServeOptions options)
    : options_(std::move(options)),
      front_(std::make_unique<HelpDeskFront>(options_)),
      http_(std::make_unique<HttpServer>(options_)),
      housekeeper_(std::make_unique<Housekeeper>(
          SweepInterval(options_.idle_timeout),
          [front = front_.get()] { front->Sweep(); })) {
  httplib::Server& server = http_->server();
  AddRoutes(&server, front_.get(), options_.body_limit);
  AnswerProblems(&server);
  LogRequests(http_.get(), options_.access_log);
}

WebServer::~WebServer() {
  Stop();
  housekeeper_->Stop();
}

int WebServer::Bind() { return http_->Bind(); }

bool WebServer::Listen() {
  housekeeper_->Start();
  bool ok = http_->Listen();
  housekeeper_->Stop();
  return ok;
}

void WebServer::Stop() { http_->Stop(); }

}  // namespace kirvs::web

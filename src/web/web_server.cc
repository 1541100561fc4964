#include "web/web_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <functional>
#include <optional>
#include <utility>

#include "web/access_log.h"
#include "web/assets.h"
#include "web/front.h"
#include "web/page.h"
#include "web/request_parsing.h"

namespace kirvs::web {

// The library listens with a backlog of 5 connections, too short for
// browsers that open several at once: a full queue drops their attempts,
// which retry only a second or more later. Its listening socket is a
// protected member, so the queue is widened here once the socket is bound.
class HttpServer : public httplib::Server {
 public:
  void WidenBacklog(int backlog) { ::listen(svr_sock_, backlog); }
};

namespace {

using Clock = std::chrono::steady_clock;

// Connection attempts the kernel queues before the server accepts them.
constexpr int kListenBacklog = 512;

// What the access log needs to know of the request the worker thread is
// serving. The library calls the pre-routing handler, our handler and the
// logger on the same thread for one request, so the record lives there.
struct RequestRecord {
  std::optional<Clock::time_point> start;
  std::string command = "-";
  std::string result = "-";
  std::string user = "-";
  std::string note;
};
thread_local RequestRecord t_record;

// Security headers on every answer. The pages load nothing from elsewhere,
// run no inline script and may not be framed.
httplib::Headers SecurityHeaders() {
  return {
      {"Content-Security-Policy",
       "default-src 'none'; style-src 'self'; script-src 'self'; "
       "img-src 'self'; form-action 'self'; base-uri 'none'; "
       "frame-ancestors 'none'"},
      {"X-Content-Type-Options", "nosniff"},
      {"X-Frame-Options", "DENY"},
      {"Referrer-Policy", "no-referrer"},
  };
}

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
  t_record.command = std::move(reply.command);
  t_record.result = std::move(reply.result);
  t_record.user = std::move(reply.user);
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

void SetProblem(httplib::Response& res, int status) {
  Problem problem = ProblemFor(status);
  SetDocument(res, status, RenderProblemPage(problem.heading, problem.message));
}

// The one place where an exception from anything below becomes an answer:
// a 500 page, and the error's text in the access log.
void Protected(httplib::Response& res, const std::function<void()>& serve) {
  std::string error;
  try {
    serve();
    return;
  } catch (const std::exception& e) {
    error = e.what();
  } catch (...) {
    error = "unknown exception";
  }
  t_record.result = "error";
  t_record.note = error.empty() ? "exception" : error;
  res.headers.erase("Set-Cookie");
  res.headers.erase("Retry-After");
  SetProblem(res, 500);
}

// The body of a post, or nullopt after answering 413 (over `limit`), 415
// (not a form of our pages) or 400 (cut short).
std::optional<std::string> ReadForm(const httplib::Request& req,
                                    httplib::Response& res,
                                    const httplib::ContentReader& read,
                                    size_t limit) {
  std::string body;
  size_t seen = 0;
  bool too_large = false;
  bool form = !req.is_multipart_form_data() &&
              IsFormContentType(req.get_header_value("Content-Type"));
  // Any other body is read past, counting, so that the connection stays
  // usable for the next request.
  auto receive = [&](const char* data, size_t size) {
    seen += size;
    too_large = seen > limit;
    if (!too_large && form) body.append(data, size);
    return !too_large;
  };
  bool complete =
      req.is_multipart_form_data()
          ? read([](const httplib::MultipartFormData&) { return true; },
                 receive)
          : read(receive);
  if (too_large || res.status == 413) {
    SetProblem(res, 413);
  } else if (!form) {
    SetProblem(res, 415);
  } else if (!complete) {
    SetProblem(res, 400);
  } else {
    return body;
  }
  return std::nullopt;
}

}  // namespace

WebServer::WebServer(ServeOptions options)
    : options_(std::move(options)),
      front_(std::make_unique<HelpDeskFront>(options_)),
      http_(std::make_unique<HttpServer>()) {
  int threads = std::max(1, options_.threads);
  http_->new_task_queue = [threads] {
    return new httplib::ThreadPool(static_cast<size_t>(threads));
  };
  http_->set_payload_max_length(options_.body_limit);
  // Headers and body go out in separate writes; without this the body of
  // every answer would wait for the client's delayed acknowledgement.
  http_->set_tcp_nodelay(true);
  http_->set_keep_alive_timeout(options_.keep_alive_timeout.count());
  http_->set_keep_alive_max_count(
      std::max<size_t>(1, options_.keep_alive_max_requests));
  http_->set_default_headers(SecurityHeaders());
  // The library's default also sets SO_REUSEPORT, with which a second server
  // on the same port would start and silently take part of the traffic.
  // Reusing the address alone lets a restarted server bind at once.
  http_->set_socket_options([](int socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  AddRoutes();
}

WebServer::~WebServer() {
  Stop();
  if (housekeeper_.joinable()) housekeeper_.join();
}

void WebServer::AddRoutes() {
  HelpDeskFront* front = front_.get();
  const size_t limit = options_.body_limit;

  http_->Get("/", [front](const httplib::Request& req, httplib::Response& res) {
    Protected(res, [&] { SendReply(res, front->Home(VisitOf(req))); });
  });

  // Posts are read here rather than by the library, which would cap form
  // bodies far below our limit and lose the order of the fields.
  http_->Post(
      "/",
      httplib::Server::HandlerWithContentReader(
          [front, limit](const httplib::Request& req, httplib::Response& res,
                         const httplib::ContentReader& read) {
            Protected(res, [&] {
              std::optional<std::string> body = ReadForm(req, res, read, limit);
              if (!body) return;
              Visit visit = VisitOf(req);
              visit.posted = SubmittedForm(ParseFormBody(*body));
              SendReply(res, front->Post(visit));
            });
          }));

  // A post without a body reaches the plain handler instead.
  http_->Post("/", httplib::Server::Handler([front](const httplib::Request& req,
                                                    httplib::Response& res) {
                Protected(res,
                          [&] { SendReply(res, front->Post(VisitOf(req))); });
              }));

  http_->Get("/kvlogo.gif",
             [](const httplib::Request&, httplib::Response& res) {
               SetAsset(res, LogoGif(), "image/gif");
             });
  http_->Get("/kirvs.css", [](const httplib::Request&, httplib::Response& res) {
    SetAsset(res, Stylesheet(), "text/css; charset=utf-8");
  });
  http_->Get("/kirvs.js", [](const httplib::Request&, httplib::Response& res) {
    SetAsset(res, Script(), "text/javascript; charset=utf-8");
  });

  http_->set_pre_routing_handler(
      [](const httplib::Request&, httplib::Response&) {
        t_record = RequestRecord{};
        t_record.start = Clock::now();
        return httplib::Server::HandlerResponse::Unhandled;
      });

  // Answers the library makes itself (404, 400, 413) get a page too.
  http_->set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty()) SetProblem(res, res.status);
        return httplib::Server::HandlerResponse::Handled;
      }));

  http_->set_logger([this](const httplib::Request& req,
                           const httplib::Response& res) {
    AccessRecord record;
    record.time = std::chrono::system_clock::now();
    record.address = req.remote_addr;
    record.method = req.method;
    record.path = req.path;
    record.command = t_record.command;
    record.result = t_record.result;
    record.status = res.status;
    if (t_record.start) {
      record.duration = std::chrono::duration_cast<std::chrono::microseconds>(
          Clock::now() - *t_record.start);
    }
    record.user = t_record.user;
    record.note = t_record.note;
    std::string line = FormatAccessLine(record);
    if (options_.access_log) {
      options_.access_log(line);
    } else {
      WriteToStderr(line);
    }
    t_record = RequestRecord{};
  });
}

int WebServer::Bind() {
  int port = 0;
  if (options_.port == 0) {
    port = std::max(0, http_->bind_to_any_port(options_.host));
  } else if (http_->bind_to_port(options_.host, options_.port)) {
    port = options_.port;
  }
  if (port != 0) http_->WidenBacklog(kListenBacklog);
  return port;
}

bool WebServer::Listen() {
  listen_entered_ = true;
  if (stop_requested_) {
    listen_returned_ = true;
    return true;
  }
  housekeeper_ = std::thread([this] { KeepHouse(); });
  bool ok = http_->listen_after_bind();
  {
    std::lock_guard lock(house_mu_);
    house_stop_ = true;
  }
  house_wake_.notify_all();
  housekeeper_.join();
  front_->EndAllSessions();
  listen_returned_ = true;
  return ok;
}

void WebServer::Stop() {
  stop_requested_ = true;
  {
    std::lock_guard lock(house_mu_);
    house_stop_ = true;
  }
  house_wake_.notify_all();
  // The library's stop() only acts on a running server: wait until Listen
  // has it running (or has returned) so that this stop is not lost.
  if (listen_entered_) {
    while (!listen_returned_ && !http_->is_running()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  http_->stop();
}

void WebServer::KeepHouse() {
  auto interval = std::clamp<std::chrono::milliseconds>(
      options_.idle_timeout / 4, std::chrono::milliseconds(10),
      std::chrono::seconds(30));
  std::unique_lock lock(house_mu_);
  while (
      !house_wake_.wait_for(lock, interval, [this] { return house_stop_; })) {
    lock.unlock();
    front_->Sweep();
    lock.lock();
  }
}

}  // namespace kirvs::web

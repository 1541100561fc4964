#include "web/http/http_server.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "web/http/answers.h"
#include "web/http/connection_threads.h"

namespace kirvs::web {

namespace {

// Connection attempts the kernel queues before the server accepts them.
// The library listens with a queue of 5, too short for browsers that open
// several connections at once: a full queue drops their attempts, which
// retry only a second or more later.
constexpr int kListenBacklog = 512;

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

// A request that names its length twice, by Content-Length and by
// Transfer-Encoding, may end in one place for us and in another for a proxy
// in front; what one of us takes for the body the other takes for a request.
bool AmbiguousLength(const httplib::Request& req) {
  return req.has_header("Transfer-Encoding") &&
         req.has_header("Content-Length");
}

}  // namespace

HttpServer::HttpServer(const ServeOptions& options)
    : options_(options), server_(options) {
  const size_t threads = static_cast<size_t>(std::max(1, options_.threads));
  // A few threads beyond the connections admitted, so that refusing one
  // never waits for a thread.
  const size_t most = std::max<size_t>(1, options_.max_connections) + 8;
  // The library creates its task queue once it runs, on the thread of
  // listen_after_bind(), after it has marked itself running: from then on
  // its stop() takes effect.
  server_.new_task_queue = [this, threads, most] {
    {
      std::lock_guard lock(mu_);
      running_ = true;
    }
    changed_.notify_all();
    return new ConnectionThreads(threads, most);
  };
  server_.set_payload_max_length(options_.body_limit);
  // Headers and body go out in separate writes; without this the body of
  // every answer would wait for the client's delayed acknowledgement.
  server_.set_tcp_nodelay(true);
  // ConnectionServer keeps connections alive by the options; the library
  // only states these in its Keep-Alive header.
  server_.set_keep_alive_timeout(options_.keep_alive_timeout.count());
  server_.set_keep_alive_max_count(
      std::max<size_t>(1, options_.keep_alive_max_requests));
  server_.set_default_headers(SecurityHeaders());
  server_.set_pre_routing_handler(
      [this](const httplib::Request& req, httplib::Response& res) {
        for (const auto& handler : pre_routing_) {
          if (handler(req, res) == httplib::Server::HandlerResponse::Handled) {
            return httplib::Server::HandlerResponse::Handled;
          }
        }
        if (AmbiguousLength(req)) {
          // The rest of the connection cannot be read safely.
          ConnectionServer::CloseAfterAnswer();
          res.set_header("Connection", "close");
          SetProblem(res, 400);
          return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
      });
  // The library's default also sets SO_REUSEPORT, with which a second server
  // on the same port would start and silently take part of the traffic.
  // Reusing the address alone lets a restarted server bind at once.
  server_.set_socket_options([this](int socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    last_socket_ = socket;
  });
}

void HttpServer::AddPreRoutingHandler(
    httplib::Server::HandlerWithResponse handler) {
  pre_routing_.push_back(std::move(handler));
}

int HttpServer::Bind() {
  int port = 0;
  if (options_.port == 0) {
    port = std::max(0, server_.bind_to_any_port(options_.host));
  } else if (server_.bind_to_port(options_.host, options_.port)) {
    port = options_.port;
  }
  // Listening again on a listening socket only widens its queue.
  if (port != 0) ::listen(last_socket_, kListenBacklog);
  return port;
}

bool HttpServer::Listen() {
  {
    std::lock_guard lock(mu_);
    if (stop_requested_) return true;
    listening_ = true;
  }
  bool ok = server_.listen_after_bind();
  {
    std::lock_guard lock(mu_);
    returned_ = true;
  }
  changed_.notify_all();
  return ok;
}

void HttpServer::Stop() {
  {
    std::unique_lock lock(mu_);
    stop_requested_ = true;
    changed_.wait(lock,
                  [this] { return !listening_ || running_ || returned_; });
  }
  server_.stop();
}

bool PortInUse(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* addresses = nullptr;
  std::string service = std::to_string(port);
  if (getaddrinfo(host.c_str(), service.c_str(), &hints, &addresses) != 0) {
    return false;
  }
  bool in_use = false;
  for (addrinfo* a = addresses; a != nullptr && !in_use; a = a->ai_next) {
    int probe = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (probe < 0) continue;
    // As the server binds: a port held only by connections that are closing
    // is free.
    int yes = 1;
    setsockopt(probe, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    in_use =
        ::bind(probe, a->ai_addr, a->ai_addrlen) != 0 && errno == EADDRINUSE;
    ::close(probe);
  }
  freeaddrinfo(addresses);
  return in_use;
}

}  // namespace kirvs::web

// HttpServer: the HTTP server of the web front and its limits, with no
// route of its own: a thread per connection, the connections per client
// address, the time to send a request, the largest body, keep-alive, no
// Nagle delay, a wide listen queue, a port that is never shared, the
// security headers of every answer, and a 400 for any request whose end is
// ambiguous. Its owner registers routes on server() before Listen().
//
// Usage: Bind(), then Listen() (it blocks, typically on a thread of its
// own), then Stop() from any thread; Listen() returns once the requests in
// flight have finished.
//
// Thread safety: Stop() may be called from any thread, also before Listen();
// the rest from one thread.

#ifndef KIRVS_SRC_WEB_HTTP_HTTP_SERVER_H_
#define KIRVS_SRC_WEB_HTTP_HTTP_SERVER_H_

#include <httplib.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "web/http/connection_server.h"
#include "web/options/serve_options.h"

namespace kirvs::web {

class HttpServer {
 public:
  // REQUIRES: `options` outlives the server.
  explicit HttpServer(const ServeOptions& options);
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Where the routes are registered. Its pre-routing handler is the
  // server's own: add one with AddPreRoutingHandler.
  httplib::Server& server() { return server_; }

  // Runs `handler` before routing each request, before the server's own
  // checks, and in the order added; one that answers ends the request.
  void AddPreRoutingHandler(httplib::Server::HandlerWithResponse handler);

  // Opens the listening socket on options.host and options.port (0 picks a
  // free port). Returns the port, or 0 when it cannot be bound.
  int Bind();

  // Serves until Stop(). Returns false when the listening socket failed.
  // REQUIRES: Bind() succeeded.
  bool Listen();

  // Stops accepting connections and makes Listen() return after the
  // requests in flight have finished.
  void Stop();

 private:
  const ServeOptions& options_;
  ConnectionServer server_;
  std::vector<httplib::Server::HandlerWithResponse> pre_routing_;
  // The socket the library created last, which after a successful Bind()
  // is the listening one.
  int last_socket_ = -1;

  // The library's stop() acts only on a server that runs, so Stop() waits
  // until Listen() has the library running (or has returned).
  std::mutex mu_;
  std::condition_variable changed_;
  bool stop_requested_ = false;
  bool listening_ = false;  // Listen() has handed over to the library
  bool running_ = false;    // the library runs: its stop() takes effect
  bool returned_ = false;   // Listen() has returned
};

// Whether another socket already listens on host:port, so that binding
// fails for that reason rather than another (an address not of this
// machine, a port reserved for the administrator).
bool PortInUse(const std::string& host, int port);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_HTTP_HTTP_SERVER_H_

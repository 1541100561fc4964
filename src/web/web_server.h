// WebServer: the help desk over HTTP. The HTTP server with its limits, the
// routes to the front, problem pages and the access log, and a housekeeper
// that ends idle sessions in the background.
//
// Usage: Bind(), then Listen() (it blocks, typically on a thread of its
// own), then Stop() from any thread; Listen() returns once the requests in
// flight have finished.
//
// Thread safety: Stop() may be called from any thread, also before Listen();
// the rest from one thread.

#ifndef KIRVS_SRC_WEB_WEB_SERVER_H_
#define KIRVS_SRC_WEB_WEB_SERVER_H_

#include <memory>

#include "web/options/serve_options.h"

namespace kirvs::web {

class HelpDeskFront;
class Housekeeper;
class HttpServer;

class WebServer {
 public:
  explicit WebServer(ServeOptions options);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Opens the listening socket on options.host and options.port (0 picks a
  // free port). Returns the port, or 0 when it cannot be bound.
  int Bind();

  // Serves until Stop(). Returns false when the listening socket failed.
  // REQUIRES: Bind() succeeded.
  bool Listen();

  // Stops accepting connections and makes Listen() return after the
  // requests in flight have finished. Signed-in sessions stay in the
  // database, for the other servers of the help desk and the next start.
  void Stop();

 private:
  const ServeOptions options_;
  std::unique_ptr<HelpDeskFront> front_;
  std::unique_ptr<HttpServer> http_;
  std::unique_ptr<Housekeeper> housekeeper_;
};

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_WEB_SERVER_H_

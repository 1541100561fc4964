// ConnectionServer: the library's HTTP server, with each connection served
// under the front's limits. The library's own loop waits for each read with
// a timeout that starts again with every byte, so a client that sends one
// byte every few seconds holds its thread for as long as it likes. Here a
// request, head and body, must arrive within options.request_read_timeout
// of being due; the connections open at once are limited in all and per
// client address, and a connection over a limit is answered 503 and closed
// at once. Waits end early when the server stops.
//
// Thread safety: the library calls process_and_close_socket from its
// worker threads at once; CloseAfterAnswer() acts on the calling thread's
// connection.

#ifndef KIRVS_SRC_WEB_HTTP_CONNECTION_SERVER_H_
#define KIRVS_SRC_WEB_HTTP_CONNECTION_SERVER_H_

#include <httplib.h>

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

#include "web/options/serve_options.h"

namespace kirvs::web {

class ConnectionServer : public httplib::Server {
 public:
  // REQUIRES: `options` outlives the server.
  explicit ConnectionServer(const ServeOptions& options) : options_(options) {}

  // Closes the connection the calling thread serves once the answer to its
  // current request has gone out; for requests whose end cannot be trusted.
  // REQUIRES: called from a route or handler of this server.
  static void CloseAfterAnswer();

 private:
  class Connection;

  // Called by the library for each accepted connection, on its thread.
  bool process_and_close_socket(socket_t sock) override;

  // Serves requests on `connection` until it closes, fails, times out, has
  // sent its share of requests, or the server stops.
  bool Serve(Connection& connection);

  // Counts a connection from `address` in, or says it is over a limit.
  bool Admit(const std::string& address);
  void Leave(const std::string& address);

  const ServeOptions& options_;
  std::mutex mu_;
  size_t open_ = 0;
  std::unordered_map<std::string, size_t> open_by_address_;
};

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_HTTP_CONNECTION_SERVER_H_

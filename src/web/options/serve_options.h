// ServeOptions: how `kirvs serve` runs the web front of a help desk.
//
// Thread safety: a plain value; the server copies it at construction and
// its parts keep a reference to that copy.

#ifndef KIRVS_SRC_WEB_OPTIONS_SERVE_OPTIONS_H_
#define KIRVS_SRC_WEB_OPTIONS_SERVE_OPTIONS_H_

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "kirvs/variant.h"
#include "platform/clock.h"

namespace kirvs::web {

// One RunCommand call as the front is about to make it.
struct EngineCall {
  std::string command;
  const Variant* p1;
  const Variant* p2;
};

struct ServeOptions {
  // The settings file (KIRVS.INI) of the help desk served; every session
  // object is created with it.
  std::string settings_path;

  // The address to listen on. Loopback by default: the front speaks plain
  // HTTP and belongs behind an HTTPS proxy before it faces a network.
  std::string host = "127.0.0.1";

  // The port to listen on; 0 picks a free one (Bind reports which).
  int port = 8080;

  // Engine calls that run at once, and connection threads started at once.
  // Each open connection has a thread of its own (up to max_connections),
  // so that clients who send slowly cannot keep the others waiting; the
  // engine's work is shared out among this many.
  int threads = 8;

  // The most connections served at once; each further one is refused (503)
  // until one closes.
  size_t max_connections = 512;

  // The most connections open at once from one client address; each
  // further one is refused (503). 0: no limit. Behind a proxy every
  // connection comes from the proxy's address: set 0 there, or a limit that
  // fits all its users.
  size_t max_connections_per_address = 16;

  // The longest a client may take to send one request, head and body,
  // counted from the moment its first byte is due. A client that trickles
  // its request is cut off then, so it holds a thread no longer.
  std::chrono::milliseconds request_read_timeout = std::chrono::seconds(10);

  // The largest request body accepted; a larger one is answered 413 and
  // nothing runs.
  size_t body_limit = 1 << 20;

  // A signed-in session that sees no request for this long ends; the next
  // post from it shows the login page.
  std::chrono::milliseconds idle_timeout = std::chrono::minutes(30);

  // The most signed-in sessions kept at once. Sessions past their idle
  // timeout make room for new ones; when the store is full of active
  // sessions a new login is refused (503), and nobody else is signed out.
  size_t max_sessions = 2000;

  // The most sessions of one user id; a new login beyond it ends the user's
  // own oldest session.
  size_t max_sessions_per_user = 20;

  // Failed logins allowed per user id before each further attempt must wait.
  int free_failures_per_user = 3;

  // Failed logins allowed per client address (any user ids) before waiting.
  int free_failures_per_address = 10;

  // The first wait after the free failures; it doubles with each further
  // failure up to max_login_delay.
  std::chrono::milliseconds first_login_delay = std::chrono::seconds(1);
  std::chrono::milliseconds max_login_delay = std::chrono::minutes(1);

  // Failures older than this are forgotten.
  std::chrono::milliseconds forget_failures_after = std::chrono::minutes(15);

  // Requests one connection may send before the server closes it. A worker
  // thread serves one connection at a time, so this spreads the threads
  // fairly over many open connections (the browser reconnects at once).
  size_t keep_alive_max_requests = 10;

  // How long an idle connection may hold its worker thread waiting for the
  // browser's next request.
  std::chrono::seconds keep_alive_timeout{2};

  // The clock of idle timeouts and login delays. Not owned: it must outlive
  // the server. Tests pass one they move by hand.
  const SteadyClock* clock = &SteadyClock::System();

  // Marks the cookies Secure; set it when an HTTPS proxy stands in front.
  bool secure_cookies = false;

  // Receives one access-log line per request (without its line end), from
  // the worker threads, possibly at once; unset writes to stderr.
  std::function<void(std::string_view line)> access_log;

  // Called with each RunCommand call just before it runs, from the worker
  // threads, possibly at once; for tests and tracing. An exception it throws
  // ends the request with a 500 answer.
  std::function<void(const EngineCall&)> observe_call;
};

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_OPTIONS_SERVE_OPTIONS_H_

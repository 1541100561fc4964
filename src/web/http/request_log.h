// The access log of the HTTP server: one line per request, written after
// the answer has gone out (see access_log.h for the line). A route adds
// what HTTP does not show, the command run, its result and the user, to
// the note of the request its thread serves.
//
// Thread safety: the library calls the pre-routing handler, the route and
// the logger of one request on the same worker thread, so each thread has
// a note of its own.

#ifndef KIRVS_SRC_WEB_HTTP_REQUEST_LOG_H_
#define KIRVS_SRC_WEB_HTTP_REQUEST_LOG_H_

#include <httplib.h>

#include <functional>
#include <string>
#include <string_view>

#include "web/http/http_server.h"

namespace kirvs::web {

struct RequestNote {
  std::string command = "-";  // the CommandString run
  std::string result = "-";   // ok, failed, refused, throttled, error
  std::string user = "-";     // the signed-in user id
  std::string error;          // an internal error's or the engine's message
};

// The note of the request the calling thread serves.
RequestNote& CurrentRequestNote();

// Starts a fresh note for each request and writes its line to `sink`
// (stderr when unset) once the answer has gone out.
void LogRequests(HttpServer* server,
                 std::function<void(std::string_view line)> sink);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_HTTP_REQUEST_LOG_H_

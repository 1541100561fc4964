#include "web/http/request_log.h"

#include <chrono>
#include <optional>
#include <utility>

#include "web/http/access_log.h"

namespace kirvs::web {

namespace {

using Clock = std::chrono::steady_clock;

struct RequestRecord {
  std::optional<Clock::time_point> start;  // unknown for requests the
                                           // library refused unread
  RequestNote note;
};
thread_local RequestRecord t_record;

}  // namespace

RequestNote& CurrentRequestNote() { return t_record.note; }

void LogRequests(HttpServer* server,
                 std::function<void(std::string_view line)> sink) {
  server->AddPreRoutingHandler([](const httplib::Request&, httplib::Response&) {
    t_record = RequestRecord{};
    t_record.start = Clock::now();
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server->server().set_logger([sink = std::move(sink)](
                                  const httplib::Request& req,
                                  const httplib::Response& res) {
    AccessRecord record;
    record.time = std::chrono::system_clock::now();
    record.address = req.remote_addr;
    record.method = req.method;
    record.path = req.path;
    record.command = t_record.note.command;
    record.result = t_record.note.result;
    record.status = res.status;
    if (t_record.start) {
      record.duration = std::chrono::duration_cast<std::chrono::microseconds>(
          Clock::now() - *t_record.start);
    }
    record.user = t_record.note.user;
    record.note = t_record.note.error;
    std::string line = FormatAccessLine(record);
    if (sink) {
      sink(line);
    } else {
      WriteToStderr(line);
    }
    t_record = RequestRecord{};
  });
}

}  // namespace kirvs::web

// The access log: one line per request, for operators. It names the time,
// client, method, path, the command run and its result, the status, the
// duration and the user; never a posted field, a cookie or a token, so no
// password or secret can reach it.
//
// Thread safety: pure functions, and the default sink writes each line with
// one system call under a lock.

#ifndef KIRVS_SRC_WEB_HTTP_ACCESS_LOG_H_
#define KIRVS_SRC_WEB_HTTP_ACCESS_LOG_H_

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace kirvs::web {

struct AccessRecord {
  std::chrono::system_clock::time_point time;
  std::string_view address;
  std::string_view method;
  std::string_view path;
  std::string_view command;  // "-" when none ran
  std::string_view result;   // "-" when none ran
  int status = 0;
  std::optional<std::chrono::microseconds> duration;  // unknown: nullopt
  std::string_view user;  // "-" when nobody is signed in
  std::string_view note;  // an internal error's text, or empty
};

// 2026-12-06T10:21:27.123Z 127.0.0.1 POST / command="SHOW LIST" result=ok
// status=200 ms=3.2 user=ann
// Text from the request is quoted and cut short, and any byte that could
// break the line or the quoting becomes %XX.
std::string FormatAccessLine(const AccessRecord& record);

// Writes a line and its line end to stderr.
void WriteToStderr(std::string_view line);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_HTTP_ACCESS_LOG_H_

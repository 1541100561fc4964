#include "web/http/access_log.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <mutex>

namespace kirvs::web {

namespace {

constexpr size_t kMaxLoggedText = 200;

// Blanks may stand inside quotes only; every other byte that could break
// the line or its fields is written as %XX.
void AppendSafe(std::string* line, std::string_view text, bool quoted = false) {
  if (text.size() > kMaxLoggedText) text = text.substr(0, kMaxLoggedText);
  for (unsigned char c : text) {
    bool blank_allowed = quoted && c == ' ';
    if ((c < 0x21 && !blank_allowed) || c >= 0x7f || c == '"' || c == '%' ||
        c == '\\') {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", c);
      *line += escape;
    } else {
      *line += static_cast<char>(c);
    }
  }
}

void AppendQuoted(std::string* line, std::string_view text) {
  *line += '"';
  AppendSafe(line, text, true);
  *line += '"';
}

}  // namespace

std::string FormatAccessLine(const AccessRecord& record) {
  std::time_t seconds = std::chrono::system_clock::to_time_t(record.time);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(
                    record.time.time_since_epoch())
                    .count() %
                1000;
  char stamp[40];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &utc);

  std::string line = stamp;
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, ".%03dZ", static_cast<int>(millis));
  line += fraction;
  line += ' ';
  AppendSafe(&line, record.address.empty() ? "-" : record.address);
  line += ' ';
  AppendSafe(&line, record.method.empty() ? "-" : record.method);
  line += ' ';
  AppendSafe(&line, record.path.empty() ? "-" : record.path);
  line += " command=";
  AppendQuoted(&line, record.command);
  line += " result=";
  AppendSafe(&line, record.result);
  line += " status=" + std::to_string(record.status);
  line += " ms=";
  if (record.duration) {
    char ms[32];
    std::snprintf(ms, sizeof ms, "%.1f", record.duration->count() / 1000.0);
    line += ms;
  } else {
    line += '-';
  }
  line += " user=";
  AppendQuoted(&line, record.user);
  if (!record.note.empty()) {
    line += " error=";
    AppendQuoted(&line, record.note);
  }
  return line;
}

void WriteToStderr(std::string_view line) {
  static std::mutex mu;
  std::string out(line);
  out += '\n';
  std::lock_guard lock(mu);
  const char* data = out.data();
  size_t left = out.size();
  while (left > 0) {
    ssize_t written = ::write(STDERR_FILENO, data, left);
    if (written <= 0) return;
    data += written;
    left -= static_cast<size_t>(written);
  }
}

}  // namespace kirvs::web

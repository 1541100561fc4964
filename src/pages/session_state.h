// SessionState: what one session object holds between commands, and what
// every handler reads and writes: the properties, the status flag, the
// session record source CurrentRS, the pending error of the running command
// and the settings file it reads.
//
// Thread safety: belongs to one session object; one thread at a time.

#ifndef KIRVS_SRC_PAGES_SESSION_STATE_H_
#define KIRVS_SRC_PAGES_SESSION_STATE_H_

#include <cstdint>
#include <memory>
#include <string>

#include "platform/record_source.h"
#include "platform/status.h"

namespace kirvs {

struct SessionState {
  explicit SessionState(std::string path) : settings_path(std::move(path)) {}

  // The result of the handler that ran last.
  bool status = false;
  std::string error_text;      // ErrorDescription
  std::string personnel_name;  // PersonnelName
  std::string user_id;         // UserId
  std::string page_text;       // HTMLString
  int32_t request_no = 0;      // RequestNo: never set
  // The record source of the page being built; page handlers release it at
  // their start and it lives until the next handler replaces it.
  std::unique_ptr<RecordSource> current_rs;
  // The failure of the running command's steps, tested at fixed points.
  PendingError pending;
  const std::string settings_path;
};

}  // namespace kirvs

#endif  // KIRVS_SRC_PAGES_SESSION_STATE_H_

// SessionState: what one session object holds between commands, and what
// every handler reads and writes: the properties, the status flag, the
// session record source CurrentRS and the settings file it reads.
//
// Thread safety: belongs to one session object; one thread at a time.

#ifndef KIRVS_SRC_PAGES_SESSION_STATE_H_
#define KIRVS_SRC_PAGES_SESSION_STATE_H_

#include <memory>
#include <string>

#include "platform/record_source.h"

namespace kirvs {

struct SessionState {
  explicit SessionState(std::string path) : settings_path(std::move(path)) {}

  // The result of the handler that ran last.
  bool status = false;
  std::string error_text;      // ErrorDescription
  std::string personnel_name;  // PersonnelName
  std::string user_id;         // UserId
  std::string page_text;       // HTMLString
  // The record source of the page being built; page handlers release it at
  // their start and it lives until the next handler replaces it.
  std::unique_ptr<RecordSource> current_rs;
  const std::string settings_path;
};

}  // namespace kirvs

#endif  // KIRVS_SRC_PAGES_SESSION_STATE_H_

// The command table of RunCommand: which handler each command text runs, with
// which arguments, and which handler follows it. The table is data; the
// order of its rows is the order of comparison.

#ifndef KIRVS_SRC_SESSION_COMMAND_TABLE_H_
#define KIRVS_SRC_SESSION_COMMAND_TABLE_H_

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "kirvs/variant.h"
#include "pages/session_state.h"

namespace kirvs {

// The arguments of one RunCommand call, as the steps of a row see them.
struct CommandCall {
  SessionState* session;
  Variant* p1;
  Variant* p2;
  const std::string& command;  // the upper-cased command text
};

// One handler call with the arguments its row names. Returns the handler's
// result, or nullopt when an error escaped the handler (the status flag then
// keeps its value).
using CommandStep = std::optional<bool> (*)(CommandCall& call);

struct CommandRow {
  std::array<std::string_view, 4> texts;  // unused slots are empty
  CommandStep handler;
  CommandStep follow_up;  // nullptr: none
  // Whether the follow-up runs whatever the handler returned (LOGOUT) rather
  // than only after success.
  bool follow_up_always = false;
};

// The row whose texts include `command` exactly, or nullptr.
const CommandRow* FindCommand(std::string_view command);

}  // namespace kirvs

#endif  // KIRVS_SRC_SESSION_COMMAND_TABLE_H_

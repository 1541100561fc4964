// Reading a new password for `kirvs user`: from the terminal, typed twice
// without echo, or as one line of standard input (for scripts).

#ifndef KIRVS_SRC_CLI_PASSWORD_PROMPT_H_
#define KIRVS_SRC_CLI_PASSWORD_PROMPT_H_

#include <iosfwd>
#include <string>

#include "platform/status.h"

namespace kirvs {

// Reads one line of `input` into `*password`; the line end (LF or CRLF) is
// not part of it. Fails when `input` holds nothing at all.
Status ReadPasswordLine(std::istream& input, std::string* password);

// Asks for the new password of `user_id` twice on the controlling terminal
// (/dev/tty) with echo off, and restores the terminal afterwards. Fails when
// there is no terminal or the two differ.
Status AskNewPassword(const std::string& user_id, std::string* password);

}  // namespace kirvs

#endif  // KIRVS_SRC_CLI_PASSWORD_PROMPT_H_

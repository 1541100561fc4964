// `kirvs user add|passwd|remove|list|totp`: the accounts of a help desk.
//
//   add USERID --person NAME [--group WORKGROUP] [--password-stdin]
//   passwd USERID [--password-stdin]
//   remove USERID [--with-profile]
//   list
//   totp USERID [--off]
//
// Each takes --ini PATH (else $KIRVS_INI, else ./KIRVS.INI) and works on the
// database its DBPath names. The work is done by data/accounts.h and
// data/second_factor.h; this only parses, asks and prints. Exit code 0 on
// success, 1 with a message on stderr when nothing was changed.

#ifndef KIRVS_SRC_CLI_USER_COMMAND_H_
#define KIRVS_SRC_CLI_USER_COMMAND_H_

#include <iosfwd>
#include <string>

namespace CLI {
class App;
}  // namespace CLI

namespace kirvs {

struct UserOptions {
  std::string action;  // the subcommand: "add", "passwd", ...
  std::string ini;     // empty: the default settings file
  std::string user_id;
  std::string person;
  std::string work_group;
  bool password_stdin = false;  // read the password from stdin
  bool with_profile = false;    // remove: also the Personnel row
  bool off = false;             // totp: remove the second factor
};

// Adds `user` and its subcommands to `app`; parsing fills `*options`.
// Returns the `user` command, which is set when it was given.
CLI::App* AddUserCommand(CLI::App* app, UserOptions* options);

int RunUser(const UserOptions& options, std::istream& input,
            std::ostream& output, std::ostream& errors);

}  // namespace kirvs

#endif  // KIRVS_SRC_CLI_USER_COMMAND_H_

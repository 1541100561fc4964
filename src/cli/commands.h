// The kirvs program: subcommands init, run, serve, user and upgrade.

#ifndef KIRVS_SRC_CLI_COMMANDS_H_
#define KIRVS_SRC_CLI_COMMANDS_H_

namespace kirvs {

// Parses the command line and runs the subcommand; returns the exit code.
int RunMain(int argc, char** argv);

}  // namespace kirvs

#endif  // KIRVS_SRC_CLI_COMMANDS_H_

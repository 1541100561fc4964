// `kirvs upgrade [--ini PATH]`: brings the database that DBPath names to the
// current layout (see data/upgrade.h) and says what it did. Exit code 0 when
// the database is current afterwards (also when it was already), 1 with a
// message on stderr when it was left as it was.

#ifndef KIRVS_SRC_CLI_UPGRADE_COMMAND_H_
#define KIRVS_SRC_CLI_UPGRADE_COMMAND_H_

#include <iosfwd>
#include <string>

namespace kirvs {

// `ini`: the settings file; empty for $KIRVS_INI, else ./KIRVS.INI.
int RunUpgrade(const std::string& ini, std::ostream& output,
               std::ostream& errors);

}  // namespace kirvs

#endif  // KIRVS_SRC_CLI_UPGRADE_COMMAND_H_

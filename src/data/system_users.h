// Reads of System_Users, the accounts that may sign in, for the tools
// around the engine (the engine's own login checks the password itself).
// Each call opens its own record source on the database of the settings
// file's DBPath and closes it before returning. Thread-safe.

#ifndef KIRVS_SRC_DATA_SYSTEM_USERS_H_
#define KIRVS_SRC_DATA_SYSTEM_USERS_H_

#include <optional>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace kirvs {

// One account of System_Users.
struct UserEntry {
  std::string user_id;
  // nullopt when the stored password is null: such an account admits nobody.
  std::optional<std::string> password;
  std::string full_name;
};

// The account of `user_id` (compared as the database compares ids), or
// nullopt in *entry when there is none. Fails when the settings file names
// no database or System_Users cannot be read.
Status FindUserEntry(const std::string& settings_path, std::string_view user_id,
                     std::optional<UserEntry>* entry);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_SYSTEM_USERS_H_

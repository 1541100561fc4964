// The accounts of a help desk: a user id with its password in System_Users
// and the person it signs in as in Personnel.
//
// Passwords are stored as argon2id hashes (platform/password_hash.h) in the
// second column of System_Users. Older help desks stored them as typed; such
// a password still admits its owner, and his login replaces it by its hash.
//
// The functions that change accounts (for `kirvs user`) work on a help desk
// of the current layout only (Database::kLayoutVersion; older ones must be
// upgraded first) and make each change in one transaction: all of it or,
// with a Status that says why, nothing. Checking a login works on any
// layout.
//
// Thread safety: every function may be called from any thread; each opens
// connections of its own.

#ifndef KIRVS_SRC_DATA_ACCOUNTS_H_
#define KIRVS_SRC_DATA_ACCOUNTS_H_

#include <string>
#include <string_view>
#include <vector>

#include "data/account_text.h"
#include "kirvs/variant.h"
#include "platform/status.h"

namespace kirvs {

struct NewAccount {
  std::string user_id;
  std::string person;      // the personnel name
  std::string work_group;  // empty: none
  std::string password;
};

// Adds the System_Users row (the password hashed, the person's name as full
// name) and the Personnel row (name, work group, user id). Fails when the
// user id or the personnel name exists already, or the work group is not a
// row of Work_Groups. A Personnel row left behind by an earlier removal of
// the same user id (same name) is taken up instead of being added again.
Status AddAccount(const std::string& db_path, const NewAccount& account);

// What AddAccount checks before it writes, without the password: for
// asking for a password only when the account can be made.
Status CheckNewAccount(const std::string& db_path, const NewAccount& account);

// Ok when the help desk has the user `user_id`, NotFound otherwise.
Status FindAccount(const std::string& db_path, const std::string& user_id);

// Replaces the user's password by the hash of `password`.
Status SetAccountPassword(const std::string& db_path,
                          const std::string& user_id,
                          const std::string& password);

// Removes the user's System_Users row, his login entries and his second
// factor. With `with_profile` also his Personnel rows, which it refuses
// (removing nothing) while outstanding requests are allocated to them.
// Sets `*removed_profiles` to the personnel names it removed.
Status RemoveAccount(const std::string& db_path, const std::string& user_id,
                     bool with_profile,
                     std::vector<std::string>* removed_profiles);

// What `kirvs user list` shows of an account; never its password.
struct AccountSummary {
  std::string user_id;
  std::string person;  // empty: no personnel profile
  std::string work_group;
  bool has_password = false;
  bool has_second_factor = false;
  std::string last_login;  // General Date; empty: never
};

// Every account, by user id.
Status ListAccounts(const std::string& db_path,
                    std::vector<AccountSummary>* accounts);

// Whether `password` is the one stored in `stored` (the second column of a
// System_Users row): a hash is verified, plain text compared exactly. A null
// or empty stored password matches nothing. Writes nothing.
bool StoredPasswordMatches(const Variant& stored, std::string_view password);

// The check of a login: StoredPasswordMatches, costing one password hash
// whatever the outcome; when `stored` was plain text and matched, the
// user's row gets its hash instead (left as it is when that fails: the
// user is still who he says).
bool CheckLoginPassword(const std::string& db_path, const std::string& user_id,
                        const Variant& stored, const std::string& password);

// Costs what CheckLoginPassword costs, for a user id that does not exist.
void CheckNoPassword(const std::string& password);

// Records `moment` as the user's latest login (System_Users.LastLogin);
// nothing on a help desk whose layout has no such column.
void NoteLastLogin(const std::string& db_path, const std::string& user_id,
                   double moment);

// The help desk at `db_path` can be changed by the functions above: ok, or
// NotSupported asking for `kirvs upgrade` when its layout is older.
Status CheckCurrentLayout(const std::string& db_path);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_ACCOUNTS_H_

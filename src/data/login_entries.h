// The login entries: a row of table Logins (UserName, position 1, holds the
// user id as typed at login) is the engine's only record that a user is
// signed in. User ids match ignoring ASCII case, as the database compares
// them. Each function opens its own record source and closes it before
// returning. Thread-safe.

#ifndef KIRVS_SRC_DATA_LOGIN_ENTRIES_H_
#define KIRVS_SRC_DATA_LOGIN_ENTRIES_H_

#include <memory>
#include <string>
#include <string_view>

#include "platform/database.h"
#include "platform/record_source.h"
#include "platform/status.h"

namespace kirvs {

// The query of the login entries of `user_id`; the database's own text
// comparison decides which rows match.
std::string LoginEntriesQuery(std::string_view user_id);

// Sets `*found` to whether Logins holds an entry whose user name equals
// `user_id`, ASCII case ignored. Fails when Logins cannot be read.
Status FindLoginEntry(const std::string& db_path, const std::string& user_id,
                      bool* found);

// Removes every entry that LoginEntriesQuery(user_id) selects, in one
// transaction on `db`: all of them or, on failure, none. A user id left with
// an entry would still count as signed in after logging out.
// REQUIRES: `entries` is that query opened for update on `db`, inside a
// write transaction of `db`.
Status RemoveLoginEntries(Database& db, RecordSource& entries);

// Moves `entries` to the first entry whose user name equals `user_id`, ASCII
// case ignored, or to eof when there is none. Fails when the entries cannot
// all be read: an entry that could not be read must not be added again.
Status SeekLoginEntry(RecordSource& entries, const std::string& user_id);

// After a SeekLoginEntry that succeeded: refreshes the date and time of the
// entry it found (a refresh that fails is undone and not reported: the user
// is signed in either way) or, at eof, adds one for `user_id`; commits
// `db`'s transaction.
// REQUIRES: as for RemoveLoginEntries.
Status RecordLoginEntry(Database& db, RecordSource& entries,
                        const std::string& user_id);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_LOGIN_ENTRIES_H_

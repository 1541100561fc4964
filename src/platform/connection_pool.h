// Idle SQLite connections kept per database file, so that each record source
// does not pay for opening the file and reading its schema again, and so that
// closing a record source does not close the file's last connection (which
// would checkpoint and remove the write-ahead log on every command).
//
// A connection is handed out only while the file at its path is still the
// file it was opened on (same device and inode): a help desk made anew at the
// same path gets fresh connections.
//
// Thread safety: all functions may be called from any thread; a connection
// taken belongs to its taker alone until it is given back.

#ifndef KIRVS_SRC_PLATFORM_CONNECTION_POOL_H_
#define KIRVS_SRC_PLATFORM_CONNECTION_POOL_H_

#include <string>

struct sqlite3;

namespace kirvs {

// An idle connection to the file at `path`, or nullptr when there is none.
sqlite3* TakeIdleConnection(const std::string& path);

// Keeps `db`, a connection to `path` with no transaction or statement open,
// for a later TakeIdleConnection; closes it when enough are kept already.
void GiveBackConnection(const std::string& path, sqlite3* db);

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_CONNECTION_POOL_H_

// Who may read the help desk's files. The database holds passwords and the
// settings file names the database, so both are meant for the engine's own
// user only; a web front warns at start when either is open to others.
// Thread-safe.

#ifndef KIRVS_SRC_DATA_FILE_PERMISSIONS_H_
#define KIRVS_SRC_DATA_FILE_PERMISSIONS_H_

#include <string>
#include <vector>

namespace kirvs {

// The help desk's files that users other than the owner can read (group or
// others have read permission): the settings file at `settings_path`, the
// database its DBPath names, and the database's "-wal" and "-shm" files.
// Files that do not exist are not listed.
std::vector<std::string> FilesReadableByOthers(
    const std::string& settings_path);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_FILE_PERMISSIONS_H_

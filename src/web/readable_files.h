// The help desk's files hold every password and request: `kirvs serve`
// warns at start when the settings file or the database file can be read
// by users other than their owner.
//
// Thread-safe.

#ifndef KIRVS_SRC_WEB_READABLE_FILES_H_
#define KIRVS_SRC_WEB_READABLE_FILES_H_

#include <iosfwd>
#include <string>

namespace kirvs::web {

// Writes one line to `errors` for each of the settings file and the
// database file it names (DBPath) that its group or other users may read.
// Files that are missing or cannot be examined are passed over.
void WarnAboutReadableFiles(const std::string& settings_path,
                            std::ostream& errors);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_READABLE_FILES_H_

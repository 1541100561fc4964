// Bringing a help-desk database made by an earlier release to the current
// layout (Database::kLayoutVersion), for `kirvs upgrade`.
//
// In one transaction, all of it or nothing:
//   - tables and columns that the current layout has and the database lacks
//     are added (columns at the end of their table);
//   - every table with a text column that still compares case by case is
//     rebuilt with COLLATE NOCASE (made anew, rows copied in order, the old
//     one dropped, its indexes and triggers made again): every row and the
//     order of the columns stay as they were;
//   - login entries that differ only in the case of the user id (which the
//     earlier layout allowed) are merged, keeping the latest;
//   - passwords stored as plain text are replaced by their hashes;
//   - the layout version is recorded.
// A database of the current layout is left as it is; one whose rows cannot
// be made case-insensitive (two user ids that differ only in case) is left
// as it was, with a message that names the table.
//
// Thread safety: may be called from any thread; other sessions wait for the
// upgrade (it holds the write lock) and see the result afterwards.

#ifndef KIRVS_SRC_DATA_UPGRADE_H_
#define KIRVS_SRC_DATA_UPGRADE_H_

#include <string>
#include <vector>

#include "platform/status.h"

namespace kirvs {

// What an upgrade did.
struct UpgradeReport {
  int from_version = 0;
  bool already_current = false;
  std::vector<std::string> added_tables;
  std::vector<std::string> added_columns;  // "Table.Column"
  std::vector<std::string> rebuilt_tables;
  int merged_login_entries = 0;
  int hashed_passwords = 0;
};

Status UpgradeDatabase(const std::string& db_path, UpgradeReport* report);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_UPGRADE_H_

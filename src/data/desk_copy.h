// Copying a whole help desk from one database to another, either store to
// either store, for `kirvs copy`.
//
// The target gets the help desk's schema as its own store makes it (tables,
// column order, indexes, the layout version), then every row of every table
// of the schema, in the order the source holds them, and the find index
// made anew from the copied rows. Counters travel as rows of Counters; on
// PostgreSQL the numbering of identity columns is then moved past the
// copied numbers, so that new rows do not collide with them.
//
// Not copied: tables outside the help desk's schema (the source's find
// index Request_Words, which the target makes from its rows; a web front's
// sessions and tokens, which the next sign-in makes anew; anything else an
// operator keeps beside the help desk). They are listed in the report.
//
// All of it happens in one transaction on the target: a failure (a row the
// target refuses, a lost connection) leaves the target as it was. The source
// is read in one snapshot and never written.
//
// Thread safety: each call uses the connections it is given, which must not
// be used by another thread meanwhile.

#ifndef KIRVS_SRC_DATA_DESK_COPY_H_
#define KIRVS_SRC_DATA_DESK_COPY_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/database.h"
#include "platform/status.h"

namespace kirvs {

struct DeskCopyReport {
  // Each table of the schema and the rows copied into it, in schema order.
  std::vector<std::pair<std::string, int64_t>> tables;
  // Tables of the source that are not part of the help desk's schema.
  std::vector<std::string> skipped;
};

// Copies the help desk in `source` into `target`. The target must hold none
// of the help desk's tables, unless `replace`, which drops them first (as
// `kirvs init --force` does).
// REQUIRES: source and target are different databases, neither in a
// transaction.
Status CopyDesk(Database* source, Database* target, bool replace,
                DeskCopyReport* report);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_DESK_COPY_H_

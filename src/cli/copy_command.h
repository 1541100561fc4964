// `kirvs copy FROM TO [--force]`: copies a whole help desk from one database
// to another (SQLite to PostgreSQL, back, or within one store; see
// data/desk_copy.h) and prints the rows of each table.
//
// FROM and TO are each a help desk's folder (the database its KIRVS.INI's
// DBPath names), a PostgreSQL URI or the path of an SQLite file; a file TO
// that does not exist is made (readable by its owner only) and removed again
// when the copy fails. Nothing but the target database is written: no
// settings file changes, so pointing a desk at its copy is the operator's
// step. A target that holds help-desk tables is refused unless --force.
// Exit code 0 when the copy is complete, 1 with a message on stderr when
// the target was left as it was.

#ifndef KIRVS_SRC_CLI_COPY_COMMAND_H_
#define KIRVS_SRC_CLI_COPY_COMMAND_H_

#include <iosfwd>
#include <string>

namespace kirvs {

struct CopyOptions {
  std::string from;    // the source: a folder, URI or database file
  std::string to;      // the target: a folder, URI or database file
  bool force = false;  // replace the help desk's tables in the target
};

int RunCopy(const CopyOptions& options, std::ostream& output,
            std::ostream& errors);

}  // namespace kirvs

#endif  // KIRVS_SRC_CLI_COPY_COMMAND_H_

// `kirvs init DIR [--demo] [--force] [--scale N] [--database URI]`: creates
// a help desk in a folder: the database file helpdesk.db with every table
// and index, and a KIRVS.INI whose DBPath names it (absolute) and whose
// column lists make every page readable. With --database the tables go into
// the (existing, empty) PostgreSQL database of the URI instead, and DBPath
// is the URI; a database that has tables already is refused unless --force,
// which replaces the help desk's tables. --demo fills the database with a
// believable help desk
// (--scale N multiplies its requests, activities, items and solutions for
// benchmarks). Refuses, with a message, a folder that already has either
// file unless --force is given.

#ifndef KIRVS_SRC_CLI_INIT_COMMAND_H_
#define KIRVS_SRC_CLI_INIT_COMMAND_H_

#include <iosfwd>
#include <string>

namespace kirvs {

struct InitOptions {
  std::string dir;         // the folder; created when missing
  bool demo = false;       // fill with demo data
  bool force = false;      // replace existing files
  int scale = 1;           // demo size multiplier (>= 1)
  std::string database{};  // a PostgreSQL URI; empty: a SQLite file in `dir`
};

inline constexpr char kDatabaseFileName[] = "helpdesk.db";
inline constexpr char kSettingsFileName[] = "KIRVS.INI";

// Returns an exit code (0 on success) and prints what it made, or why not.
int RunInit(const InitOptions& options, std::ostream& output,
            std::ostream& errors);

}  // namespace kirvs

#endif  // KIRVS_SRC_CLI_INIT_COMMAND_H_

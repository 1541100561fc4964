// The engine's query texts in PostgreSQL's dialect, translated once, before
// PostgreSQL sees them. The texts are written for SQLite's reading; the
// differences that matter are:
//
//   [Date/Time], `x`            quoted names: "Date/Time"
//   requestno, Current_requests names of the tables and columns, matched
//                                ignoring case as SQLite does, quoted in the
//                                case the catalog holds: "RequestNo"
//   AS Total                    aliases keep their case: AS "Total", and so
//                                do later uses of them
//   ?                           $1, $2, ... in order
//   SELECT *, SELECT T.*        the columns of the tables named after FROM,
//                                without the hidden rowid column that
//                                PostgreSQL tables carry for the record
//                                source's write-back
//   IFNULL(                     COALESCE(
//   ORDER BY a, b DESC          ORDER BY a NULLS FIRST, b DESC NULLS LAST:
//                                NULL sorts before every value, as in SQLite
//
// A bare keyword (FROM, ORDER, DESC, ...) stays the keyword even where a
// table, column or alias has its spelling ([From]).
//
// Kept as written: apostrophe strings, numbers, operators, comments, `Like`
// (text columns compare ignoring case by their type), `ORDER BY 1`, and
// words that are neither names of the catalog nor aliases (keywords,
// functions, aliases given without AS). A text that cannot be translated
// (an unterminated quote, `*` over a table the catalog lacks, statements
// only SQLite knows) fails, and nothing of it runs.
//
// Pure; a SqlCatalog is read-only once built and may be shared.

#ifndef KIRVS_SRC_PLATFORM_SQL_DIALECT_H_
#define KIRVS_SRC_PLATFORM_SQL_DIALECT_H_

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/status.h"

namespace kirvs {

// The name of the column that every PostgreSQL table of the help desk has
// last, numbered by the database, in place of SQLite's rowid.
inline constexpr char kPostgresRowId[] = "rowid";

// The tables of a database and their columns, in their canonical case.
class SqlCatalog {
 public:
  struct Table {
    std::string name;
    std::vector<std::string> columns;  // in table order
  };

  // Adds a table (or view) and its columns in table order.
  void AddTable(std::string name, std::vector<std::string> columns);

  // The canonical spelling of a table or column name, ignoring ASCII case;
  // nullptr when the catalog has no such name.
  const std::string* Canonical(std::string_view name) const;
  // The table named `name`, ignoring ASCII case; nullptr when there is none.
  const Table* FindTable(std::string_view name) const;
  bool empty() const { return tables_.empty(); }

 private:
  std::vector<Table> tables_;
  std::unordered_map<std::string, std::string> names_;   // upper -> canonical
  std::unordered_map<std::string, size_t> table_index_;  // upper -> index
};

// Translates `sql` for PostgreSQL into `*out`; fails (with *out unchanged)
// when it cannot.
Status TranslateForPostgres(std::string_view sql, const SqlCatalog& catalog,
                            std::string* out);

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_SQL_DIALECT_H_

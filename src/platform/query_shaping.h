// Query shaping: the SQL texts that the record source makes of a query and of
// the rows it writes back. The query texts of the pages reach the store
// unchanged (bracketed names, `Like` and apostrophe strings read the same in
// the store); what is made here is the rowid column of a storable query and
// the statements that store, change and delete one row by its rowid.
//
// Pure and thread-safe.

#ifndef KIRVS_SRC_PLATFORM_QUERY_SHAPING_H_
#define KIRVS_SRC_PLATFORM_QUERY_SHAPING_H_

#include <string>
#include <string_view>
#include <vector>

namespace kirvs {

// The name under which a storable query also selects each row's rowid.
inline constexpr char kRowIdColumn[] = "kirvs_rowid";

// The query with each row's rowid selected after the query's own columns,
// for a single-table "SELECT ..." query; empty when the query has another
// shape (DISTINCT, grouped, compound, no FROM).
std::string WithRowId(std::string_view query);

// `name` between double quotes, inner quotes doubled.
std::string QuoteIdentifier(std::string_view name);

// "INSERT INTO table (c1, c2) VALUES (?, ?)", or "... DEFAULT VALUES" when
// no column is given.
std::string InsertSql(std::string_view table,
                      const std::vector<std::string>& columns);
// "UPDATE table SET c1 = ?, c2 = ? WHERE rowid = ?".
// REQUIRES: `columns` is not empty.
std::string UpdateSql(std::string_view table,
                      const std::vector<std::string>& columns);
// "DELETE FROM table WHERE rowid = ?".
std::string DeleteSql(std::string_view table);

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_QUERY_SHAPING_H_

// Text columns that compare without regard to case.
//
// A help desk's users type ids, names and codes as they please ("ANN",
// "Ann"), so every text column of the help-desk database is declared
// COLLATE NOCASE: "=", ORDER BY, unique keys and indexes on it ignore ASCII
// case. Rather than spell that out on each column (and forget it on the
// next one), the schema and the upgrade of older databases both pass their
// CREATE TABLE statements through AddNocaseToTextColumns.
//
// Pure and thread-safe.

#ifndef KIRVS_SRC_DATA_TEXT_COLLATION_H_
#define KIRVS_SRC_DATA_TEXT_COLLATION_H_

#include <string>
#include <string_view>

namespace kirvs {

// `sql` (one or more statements) with " COLLATE NOCASE" added after the
// declared type of every column, in every CREATE TABLE statement, whose type
// is text (VARCHAR, CHAR, NVARCHAR, NCHAR, TEXT, MEMO, LONGTEXT, CLOB,
// NTEXT) and that names no collation yet. Everything else, comments
// included, is kept as it stands, so applying it twice changes nothing.
std::string AddNocaseToTextColumns(std::string_view sql);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_TEXT_COLLATION_H_

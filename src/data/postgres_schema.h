// The help desk's schema on PostgreSQL, made from the SQLite one (schema.cc)
// so that the two stores cannot drift apart: the same tables, columns in the
// same order, the same indexes. What differs:
//
//   names               quoted in their case: [Sub-Department] and
//                       RequestNo become "Sub-Department" and "RequestNo"
//   VARCHAR(n)          nocase_varchar_n, a domain over citext (text compares
//                       ignoring case, and the size comes back from the
//                       catalog; like SQLite, it does not limit the length)
//   TEXT                citext
//   DATETIME            timestamp(0)
//   DOUBLE              double precision
//   CURRENCY            currency, a domain over numeric(19,4)
//   BOOLEAN DEFAULT 0   boolean DEFAULT false
//   INTEGER PRIMARY KEY integer numbered by the database (identity)
//   every table         ends with a hidden "rowid" column numbered by the
//                       database, which the record source stores rows by
//                       (SQLite has its own)
//
// The layout version is the schema's comment ("kirvs layout N").
//
// Pure and thread-safe.

#ifndef KIRVS_SRC_DATA_POSTGRES_SCHEMA_H_
#define KIRVS_SRC_DATA_POSTGRES_SCHEMA_H_

#include <string>
#include <string_view>

#include "platform/status.h"

namespace kirvs {

// The PostgreSQL statements for `sqlite_script`, CREATE TABLE and CREATE
// INDEX statements in SQLite's dialect (without transaction or PRAGMA);
// the extension and domains they need come first. Fails on a column type
// it has no counterpart for.
Status PostgresSchemaScript(std::string_view sqlite_script, std::string* out);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_POSTGRES_SCHEMA_H_

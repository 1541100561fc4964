#include "data/text_collation.h"

#include <gtest/gtest.h>

#include <string>

namespace kirvs {
namespace {

TEST(TextCollationTest, AddsNocaseToTextColumnsOnly) {
  const struct {
    const char* sql;
    const char* expected;
  } cases[] = {
      {"CREATE TABLE t (a VARCHAR(20) NOT NULL PRIMARY KEY, b INTEGER)",
       "CREATE TABLE t (a VARCHAR(20) COLLATE NOCASE NOT NULL PRIMARY KEY, "
       "b INTEGER)"},
      {"create table [Sub-Parts] ([Sub-Part] text, n memo default 'x')",
       "create table [Sub-Parts] ([Sub-Part] text COLLATE NOCASE, n memo "
       "COLLATE NOCASE default 'x')"},
      // Names that look like types, comments, strings and an existing
      // collation are left alone.
      {"CREATE TABLE t (Text DATETIME, -- TEXT, not MEMO\n"
       "  \"Memo\" CHARACTER VARYING (30), c CHAR(2) COLLATE BINARY,\n"
       "  d BLOB, e, CHECK (e <> 'VARCHAR(2)'), PRIMARY KEY (Text))",
       "CREATE TABLE t (Text DATETIME, -- TEXT, not MEMO\n"
       "  \"Memo\" CHARACTER VARYING (30) COLLATE NOCASE, c CHAR(2) COLLATE "
       "BINARY,\n  d BLOB, e, CHECK (e <> 'VARCHAR(2)'), PRIMARY KEY (Text))"},
      {"CREATE TABLE IF NOT EXISTS t (a NVARCHAR(9));\n"
       "CREATE INDEX i ON t (a);\nCREATE TABLE u AS SELECT a FROM t;",
       "CREATE TABLE IF NOT EXISTS t (a NVARCHAR(9) COLLATE NOCASE);\n"
       "CREATE INDEX i ON t (a);\nCREATE TABLE u AS SELECT a FROM t;"},
      // Digits, "_" and "$" belong to names.
      {"CREATE TABLE t (a1 TEXT, b_c VARCHAR2(5), d$ CHAR)",
       "CREATE TABLE t (a1 TEXT COLLATE NOCASE, b_c VARCHAR2(5) COLLATE "
       "NOCASE, d$ CHAR COLLATE NOCASE)"},
  };
  for (const auto& c : cases) {
    const std::string once = AddNocaseToTextColumns(c.sql);
    EXPECT_EQ(c.expected, once) << c.sql;
    EXPECT_EQ(once, AddNocaseToTextColumns(once)) << "applied twice: " << c.sql;
  }
}

}  // namespace
}  // namespace kirvs

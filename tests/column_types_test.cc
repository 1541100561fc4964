#include "platform/column_types.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/postgres_types.h"

namespace kirvs {
namespace {

constexpr int kUnlimited = 1073741823;

// Declared types as SQLite holds them (the risky parses: case, blanks around
// and inside a size, words after the type, and what falls back to text of
// 255), and PostgreSQL's names of types (format_type) and of built-in oids.
TEST(ColumnTypes, TypeCodesAndSizesOfTypeNames) {
  struct Case {
    ColumnType (*type_of)(std::string_view);
    std::string name;
    int type_code;
    int defined_size;
  };
  const Case cases[] = {
      {ColumnTypeOf, "bool", 11, 2},
      {ColumnTypeOf, "TIMESTAMP WITH TIME ZONE", 135, 16},
      {ColumnTypeOf, "INT(11)", 3, 4},
      {ColumnTypeOf, "numeric(5)", 131, 19},
      {ColumnTypeOf, "varchar ( 20 )", 202, 20},
      {ColumnTypeOf, "VARCHAR(20) NOT NULL", 202, 20},
      {ColumnTypeOf, "\tVARCHAR\t(8)", 202, 8},
      {ColumnTypeOf, "Text (255)", 202, 255},
      {ColumnTypeOf, "TEXT NOT NULL", 201, kUnlimited},
      {ColumnTypeOf, "", 202, 255},
      {ColumnTypeOf, "VARCHAR", 202, 255},
      {ColumnTypeOf, "VARCHAR(abc)", 202, 255},
      {ColumnTypeOf, "VARCHAR2(30)", 202, 255},
      {ColumnTypeOf, "VARCHAR(99999999999)", 202, 255},
      {ColumnTypeOf, "(20)", 202, 255},
      {PostgresColumnType, "integer", 3, 4},
      {PostgresColumnType, "bigint", 20, 8},
      {PostgresColumnType, "double precision", 5, 8},
      {PostgresColumnType, "boolean", 11, 2},
      {PostgresColumnType, "timestamp(0) without time zone", 135, 16},
      {PostgresColumnType, "date", 133, 6},
      {PostgresColumnType, "time without time zone", 134, 6},
      {PostgresColumnType, "character varying(50)", 202, 50},
      {PostgresColumnType, "nocase_varchar_30", 202, 30},
      {PostgresColumnType, "citext", 201, kUnlimited},
      {PostgresColumnType, "numeric(19,4)", 131, 19},
      {PostgresColumnType, "currency", 6, 8},
      {PostgresColumnType, "character varying", 202, 255},
      {PostgresColumnType, "nocase_varchar_", 202, 255},
      {PostgresColumnType, "point", 202, 255},
  };
  for (const Case& c : cases) {
    ColumnType type = c.type_of(c.name);
    EXPECT_EQ(std::pair(c.type_code, c.defined_size),
              std::pair(type.type_code, type.defined_size))
        << "\"" << c.name << "\"";
  }
  // The names of built-in oids.
  EXPECT_EQ("character varying(20)", PostgresTypeName(1043, 24));
  EXPECT_EQ("bigint", PostgresTypeName(20, -1));
  EXPECT_EQ("", PostgresTypeName(0, -1));
}

}  // namespace
}  // namespace kirvs

#include "platform/column_types.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/postgres_types.h"

namespace kirvs {
namespace {

constexpr int kUnlimited = 1073741823;

TEST(ColumnTypes, DeclaredTypes) {
  struct Case {
    std::string declared;
    int type_code;
    int defined_size;
  };
  // The risky parses: case, blanks around and inside a size, words after
  // the type, and what falls back to text of 255.
  const Case cases[] = {
      {"bool", 11, 2},
      {"TIMESTAMP WITH TIME ZONE", 135, 16},
      {"INT(11)", 3, 4},
      {"numeric(5)", 131, 19},
      {"varchar ( 20 )", 202, 20},
      {"VARCHAR(20) NOT NULL", 202, 20},
      {"\tVARCHAR\t(8)", 202, 8},
      {"Text (255)", 202, 255},
      {"TEXT NOT NULL", 201, kUnlimited},
      {"", 202, 255},
      {"VARCHAR", 202, 255},
      {"VARCHAR(abc)", 202, 255},
      {"VARCHAR2(30)", 202, 255},
      {"VARCHAR(99999999999)", 202, 255},
      {"(20)", 202, 255},
  };
  for (const Case& c : cases) {
    ColumnType type = ColumnTypeOf(c.declared);
    EXPECT_EQ(c.type_code, type.type_code) << "\"" << c.declared << "\"";
    EXPECT_EQ(c.defined_size, type.defined_size) << "\"" << c.declared << "\"";
  }
}

// PostgreSQL's names of types (format_type), and those of built-in oids.
TEST(ColumnTypes, PostgresTypes) {
  struct Case {
    std::string name;
    int type_code;
    int defined_size;
  };
  const Case cases[] = {
      {"integer", 3, 4},
      {"bigint", 20, 8},
      {"double precision", 5, 8},
      {"boolean", 11, 2},
      {"timestamp(0) without time zone", 135, 16},
      {"date", 133, 6},
      {"time without time zone", 134, 6},
      {"character varying(50)", 202, 50},
      {"nocase_varchar_30", 202, 30},
      {"citext", 201, kUnlimited},
      {"numeric(19,4)", 131, 19},
      {"currency", 6, 8},
      {"character varying", 202, 255},
      {"nocase_varchar_", 202, 255},
      {"point", 202, 255},
  };
  for (const Case& c : cases) {
    ColumnType type = PostgresColumnType(c.name);
    EXPECT_EQ(c.type_code, type.type_code) << c.name;
    EXPECT_EQ(c.defined_size, type.defined_size) << c.name;
  }
  EXPECT_EQ("character varying(20)", PostgresTypeName(1043, 24));
  EXPECT_EQ("bigint", PostgresTypeName(20, -1));
  EXPECT_EQ("", PostgresTypeName(0, -1));
}

}  // namespace
}  // namespace kirvs

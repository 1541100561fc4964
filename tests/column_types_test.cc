#include "platform/column_types.h"

#include <gtest/gtest.h>

#include <string>

namespace kirvs {
namespace {

constexpr int kUnlimited = 1073741823;

TEST(ColumnTypes, DeclaredTypes) {
  struct Case {
    std::string declared;
    int type_code;
    int defined_size;
  };
  const Case cases[] = {
      // Booleans.
      {"BOOLEAN", 11, 2},
      {"bool", 11, 2},
      {"BIT", 11, 2},
      {"YesNo", 11, 2},
      {"LOGICAL", 11, 2},
      {"BIT(1)", 11, 2},
      // Moments.
      {"DATETIME", 135, 16},
      {"datetime", 135, 16},
      {"TIMESTAMP", 135, 16},
      {"TIMESTAMP WITH TIME ZONE", 135, 16},
      {"DATE", 133, 6},
      {"Date", 133, 6},
      {"TIME", 134, 6},
      // Whole numbers.
      {"TINYINT", 17, 1},
      {"BYTE", 17, 1},
      {"SMALLINT", 2, 2},
      {"SHORT", 2, 2},
      {"INT2", 2, 2},
      {"INTEGER", 3, 4},
      {"integer", 3, 4},
      {"INT", 3, 4},
      {"INT(11)", 3, 4},
      {"LONG", 3, 4},
      {"INT4", 3, 4},
      {"COUNTER", 3, 4},
      {"AUTOINCREMENT", 3, 4},
      {"INTEGER PRIMARY KEY", 3, 4},
      {"BIGINT", 20, 8},
      {"INT8", 20, 8},
      // Other numbers.
      {"REAL", 5, 8},
      {"FLOAT", 5, 8},
      {"DOUBLE", 5, 8},
      {"DOUBLE PRECISION", 5, 8},
      {"SINGLE", 4, 4},
      {"FLOAT4", 4, 4},
      {"CURRENCY", 6, 8},
      {"MONEY", 6, 8},
      {"DECIMAL", 131, 19},
      {"NUMERIC", 131, 19},
      {"DECIMAL(10,2)", 131, 19},
      {"numeric(5)", 131, 19},
      // Texts with a size.
      {"VARCHAR(50)", 202, 50},
      {"varchar ( 20 )", 202, 20},
      {"VARCHAR (20)", 202, 20},
      {"  VARCHAR(20)  ", 202, 20},
      {"VARCHAR(20) NOT NULL", 202, 20},
      {"CHAR(1)", 202, 1},
      {"NVARCHAR(100)", 202, 100},
      {"nchar(3)", 202, 3},
      {"TEXT(10)", 202, 10},
      {"Text (255)", 202, 255},
      {"\tVARCHAR\t(8)", 202, 8},
      // Long texts and blobs.
      {"TEXT", 201, kUnlimited},
      {"text", 201, kUnlimited},
      {"MEMO", 201, kUnlimited},
      {"LONGTEXT", 201, kUnlimited},
      {"CLOB", 201, kUnlimited},
      {"NTEXT", 201, kUnlimited},
      {"TEXT NOT NULL", 201, kUnlimited},
      {"BLOB", 205, kUnlimited},
      // Anything else.
      {"", 202, 255},
      {"   ", 202, 255},
      {"WHATEVER", 202, 255},
      {"VARCHAR", 202, 255},
      {"CHAR", 202, 255},
      {"VARCHAR()", 202, 255},
      {"VARCHAR(abc)", 202, 255},
      {"VARCHAR2(30)", 202, 255},
      {"CHARACTER(20)", 202, 255},
      {"UNSIGNED BIG INT", 202, 255},
      {"VARCHAR(99999999999)", 202, 255},
      {"(20)", 202, 255},
  };
  for (const Case& c : cases) {
    ColumnType type = ColumnTypeOf(c.declared);
    EXPECT_EQ(c.type_code, type.type_code) << "\"" << c.declared << "\"";
    EXPECT_EQ(c.defined_size, type.defined_size) << "\"" << c.declared << "\"";
  }
}

TEST(ColumnTypes, KindsOfTypeCodes) {
  struct Case {
    int type_code;
    bool date, integer, numeric;
  };
  const Case cases[] = {
      {2, false, true, true},     {3, false, true, true},
      {4, false, false, true},    {5, false, false, true},
      {6, false, false, true},    {7, true, false, false},
      {11, false, false, false},  {17, false, true, true},
      {20, false, true, true},    {131, false, false, true},
      {133, true, false, false},  {134, true, false, false},
      {135, true, false, false},  {201, false, false, false},
      {202, false, false, false}, {205, false, false, false},
      {0, false, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.date, IsDateType(c.type_code)) << c.type_code;
    EXPECT_EQ(c.integer, IsIntegerType(c.type_code)) << c.type_code;
    EXPECT_EQ(c.numeric, IsNumericType(c.type_code)) << c.type_code;
  }
}

}  // namespace
}  // namespace kirvs

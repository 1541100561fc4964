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
  // The risky parses: case, blanks around and inside a size, words after
  // the type, and what falls back to text of 255.
  const Case cases[] = {
      {"bool", 11, 2},
      {"TIMESTAMP WITH TIME ZONE", 135, 16},
      {"INT(11)", 3, 4},
      {"DOUBLE PRECISION", 5, 8},
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

}  // namespace
}  // namespace kirvs

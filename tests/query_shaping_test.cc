#include "platform/query_shaping.h"

#include <gtest/gtest.h>

namespace kirvs {

namespace {

TEST(QueryShapingTest, WithRowIdOnlyForSingleTableSelects) {
  const struct {
    const char* query;
    const char* expected;
  } cases[] = {
      {"SELECT a, b FROM t ORDER BY 1",
       "SELECT a, b, rowid AS kirvs_rowid FROM t ORDER BY 1"},
      // Words only count whole: "zgroup" ... "9union" are column names.
      {"SELECT zgroup, Zunion, agroup, Aunion, _group, 0union, 9union FROM t",
       "SELECT zgroup, Zunion, agroup, Aunion, _group, 0union, 9union, rowid "
       "AS kirvs_rowid FROM t"},
      // DISTINCT, GROUP BY, UNION: OnlyRowsOfOneTableCanBeStored.
      {"SELECTz FROM t", ""},
      {"SELECT 1", ""},
      {"DELETE FROM t", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, WithRowId(c.query)) << c.query;
  }
}

}  // namespace
}  // namespace kirvs

// The find box gives the same requests on both stores: the same words,
// prefixes, case, punctuation, order (outstanding first, newest first) and
// pages, also after a request's words changed.

#include "data/request_finder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace kirvs {
namespace {

TEST(RequestFinderTest, SameFindsOnBothStores) {
  testing::DemoDesk sqlite;
  testing::DemoDesk postgres(Store::kPostgres);
  if (!postgres.available()) GTEST_SKIP() << testing::kNoPostgres;
  for (const testing::DemoDesk* desk : {&sqlite, &postgres}) {
    Status s = EnsureRequestWords(desk->ini_path());
    ASSERT_TRUE(s.ok()) << s.message();
    testing::ExecSql(
        desk->db_path(),
        "UPDATE Current_Requests SET Description = 'Toner "
        "smudges; O''Brien''s printer-jam' WHERE RequestNo = 1017");
  }
  const char* const kFinds[] = {"PRINT",      "toner smudge", "label printer",
                                "o'brie",     "printer-ja",   "jam-printer",
                                "SMUDGES ON", "' OR *",       "e",
                                "1017",       "ann",          "zzz"};
  size_t found = 0;
  for (const char* words : kFinds) {
    for (int page = 0; page < 2; ++page) {
      ListedPage pages[2];
      for (int i = 0; i < 2; ++i) {
        Status s =
            FindRequests(i == 0 ? sqlite.ini_path() : postgres.ini_path(),
                         words, page, 4, &pages[i]);
        ASSERT_TRUE(s.ok()) << words << ": " << s.message();
      }
      std::vector<std::pair<int, bool>> listed[2];
      for (int i = 0; i < 2; ++i) {
        for (const ListedRequest& row : pages[i].rows) {
          listed[i].emplace_back(row.request_no, row.closed);
        }
      }
      EXPECT_EQ(listed[0], listed[1]) << words << ", page " << page;
      EXPECT_EQ(pages[0].more, pages[1].more) << words << ", page " << page;
      found += listed[0].size();
    }
  }
  EXPECT_GT(found, 12u);
}

}  // namespace
}  // namespace kirvs

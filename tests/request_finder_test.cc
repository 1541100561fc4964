// The queues' and the find box's reads of the request tables: their order.

#include "data/request_finder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_support.h"

namespace kirvs {
namespace {

std::vector<std::string> Column(const ListedPage& page, bool priority) {
  std::vector<std::string> values;
  for (const ListedRequest& row : page.rows) {
    values.push_back(priority ? row.priority : std::to_string(row.request_no));
  }
  return values;
}

// A header sorts by one of the listed columns, either way, then by number;
// any other name keeps the list's own order and never reaches the query.
TEST(RequestFinderTest, SortsByListedColumnsOnly) {
  testing::DemoDesk desk;
  ListedPage own, page;
  ASSERT_TRUE(
      ReadQueue(desk.ini_path(), Queue::kAllOpen, "", {}, 0, 500, &own).ok());
  ASSERT_GT(own.rows.size(), 2u);
  for (const char* name : {"", "Description", "Priority; DROP TABLE x"}) {
    ASSERT_TRUE(ReadQueue(desk.ini_path(), Queue::kAllOpen, "",
                          ListedOrder{name, true}, 0, 500, &page)
                    .ok());
    EXPECT_EQ(Column(own, false), Column(page, false)) << name;
  }
  for (bool descending : {false, true}) {
    ASSERT_TRUE(ReadQueue(desk.ini_path(), Queue::kAllOpen, "",
                          ListedOrder{"priority", descending}, 0, 500, &page)
                    .ok());
    std::vector<std::string> sorted = Column(own, true);
    std::sort(sorted.begin(), sorted.end());
    if (descending) std::reverse(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, Column(page, true)) << descending;
  }
  ASSERT_TRUE(EnsureRequestWords(desk.ini_path()).ok());
  ASSERT_TRUE(
      FindRequests(desk.ini_path(), "the", {"RequestNo", true}, 0, 500, &page)
          .ok());
  std::vector<std::string> numbers = Column(page, false);
  ASSERT_GT(numbers.size(), 1u);
  EXPECT_TRUE(std::is_sorted(numbers.rbegin(), numbers.rend(),
                             [](const std::string& a, const std::string& b) {
                               return std::stoi(a) < std::stoi(b);
                             }));
}

}  // namespace
}  // namespace kirvs

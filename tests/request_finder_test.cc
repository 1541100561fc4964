// The queues' and the find box's reads of the request tables: the find
// box's word index (made anew over an index of an earlier release, kept in
// step by the triggers as requests change and close, paged in its own
// order: outstanding first, the newest first), sorting by a column, and the
// same finds on both stores.

#include "data/request_finder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_support.h"

namespace kirvs {
namespace {

using testing::DemoDesk;
using testing::ExecSql;

std::vector<std::pair<int, bool>> Found(const DemoDesk& desk,
                                        std::string_view words, int page = 0,
                                        int page_size = 50,
                                        bool* more = nullptr) {
  ListedPage found;
  EXPECT_TRUE(
      FindRequests(desk.ini_path(), words, {}, page, page_size, &found).ok());
  if (more) *more = found.more;
  std::vector<std::pair<int, bool>> numbers;
  for (const ListedRequest& row : found.rows) {
    numbers.emplace_back(row.request_no, row.closed);
  }
  return numbers;
}

TEST(RequestFinderTest, IndexIsRemadeKeptInStepAndPagedInItsOwnOrder) {
  DemoDesk desk;
  // An index as an earlier release made it: rows in insertion order, a
  // trigger that knows nothing of the key.
  ExecSql(desk.db_path(),
          "CREATE VIRTUAL TABLE Request_Words USING fts5(RequestNo UNINDEXED, "
          "Closed UNINDEXED, Description, Resolution, Contact, UserId);"
          "INSERT INTO Request_Words VALUES (1, 0, 'zebra crossing', '', '', "
          "'');"
          "CREATE TRIGGER Current_Requests_Words_Insert AFTER INSERT ON "
          "Current_Requests BEGIN SELECT 1; END;");
  ASSERT_TRUE(EnsureRequestWords(desk.ini_path()).ok());
  ExecSql(desk.db_path(),
          "INSERT INTO Current_Requests (RequestNo, Description) VALUES "
          "(5001, 'Zebra printer'), (5003, 'zebra scanner');"
          "INSERT INTO Completed_Requests (RequestNo, Description) VALUES "
          "(5002, 'old zebra');");
  using Rows = std::vector<std::pair<int, bool>>;
  EXPECT_EQ(Found(desk, "zeb"),
            (Rows{{5003, false}, {5001, false}, {5002, true}}));
  EXPECT_EQ(Found(desk, "zebra print"), (Rows{{5001, false}}));

  // An edit takes the old words away; a close moves the request's words.
  ExecSql(desk.db_path(),
          "UPDATE Current_Requests SET Description = 'toner' WHERE "
          "RequestNo = 5001;"
          "INSERT INTO Completed_Requests SELECT * FROM Current_Requests "
          "WHERE RequestNo = 5003;"
          "DELETE FROM Current_Requests WHERE RequestNo = 5003;");
  EXPECT_EQ(Found(desk, "zebra"), (Rows{{5003, true}, {5002, true}}));
  EXPECT_EQ(Found(desk, "toner"), (Rows{{5001, false}}));

  bool more = false;
  EXPECT_EQ(Found(desk, "zebra", 0, 1, &more), (Rows{{5003, true}}));
  EXPECT_TRUE(more);
  EXPECT_EQ(Found(desk, "zebra", 1, 1, &more), (Rows{{5002, true}}));
  EXPECT_FALSE(more);
}

std::vector<std::string> Column(const ListedPage& page, bool priority) {
  std::vector<std::string> values;
  for (const ListedRequest& row : page.rows) {
    values.push_back(priority ? row.priority : std::to_string(row.request_no));
  }
  return values;
}

// A header sorts by one of the listed columns, either way, then by number;
// any other name keeps the list's own order and never reaches the query;
// on each store.
class RequestFinderSortTest : public ::testing::TestWithParam<Store> {};

KIRVS_ON_EVERY_STORE(RequestFinderSortTest);

TEST_P(RequestFinderSortTest, SortsByListedColumnsOnly) {
  DemoDesk desk(GetParam());
  if (!desk.available()) GTEST_SKIP() << testing::kNoPostgres;
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

TEST(RequestFinderTest, SameFindsOnBothStores) {
  testing::DemoDesk sqlite;
  testing::DemoDesk postgres(Store::kPostgres);
  if (!postgres.available()) GTEST_SKIP() << testing::kNoPostgres;
  for (const testing::DemoDesk* desk : {&sqlite, &postgres}) {
    ASSERT_TRUE(EnsureRequestWords(desk->ini_path()).ok());
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
      bool more[2];
      const auto listed = Found(sqlite, words, page, 4, &more[0]);
      EXPECT_EQ(listed, Found(postgres, words, page, 4, &more[1]))
          << words << ", page " << page;
      EXPECT_EQ(more[0], more[1]) << words << ", page " << page;
      found += listed.size();
    }
  }
  EXPECT_GT(found, 12u);
}

}  // namespace
}  // namespace kirvs

// The find box's word index: made anew over an index of an earlier release,
// kept in step by the triggers as requests change and close, and paged in
// its own order (outstanding first, the newest first).

#include "data/request_finder.h"

#include <gtest/gtest.h>

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
      FindRequests(desk.ini_path(), words, page, page_size, &found).ok());
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

}  // namespace
}  // namespace kirvs

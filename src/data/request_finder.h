// Reads of the request tables for the web front's queues and its find box.
// Each opens the database of the settings file's DBPath; none writes a
// request. Thread-safe.
//
// The find box searches the words of open and closed requests. On SQLite
// through Request_Words, an FTS5 index that triggers on both request tables
// keep in step with every insert, update and delete (a close moves a row,
// so it moves its words); on PostgreSQL through an index of each request
// table over the words of its rows (a text search expression), which the
// database keeps in step itself. Either splits text into words at every
// character that is neither a letter nor a digit and ignores case.
// AddRequestWords creates the index once, filled from the rows already
// there.

#ifndef KIRVS_SRC_DATA_REQUEST_FINDER_H_
#define KIRVS_SRC_DATA_REQUEST_FINDER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/database.h"
#include "platform/status.h"

namespace kirvs {

// One request as a queue or a find result lists it (texts as stored).
struct ListedRequest {
  int32_t request_no = 0;
  std::string requested;
  std::string priority;
  std::string status;
  std::string personnel;
  std::string work_group;
  std::string description;
  bool closed = false;
};

enum class Queue {
  kUnassigned,  // outstanding, nobody's
  kWorkGroup,   // outstanding, in a work group
  kAllOpen,     // outstanding
  kClosed,      // closed, the latest first
};

// The columns a queue or found requests can be sorted by.
inline constexpr std::string_view kListedColumns[] = {
    "RequestNo", "Requested", "Priority", "Status", "Personnel", "WorkGroup"};

// How to sort a page: by `column` (one of kListedColumns, ASCII case
// ignored), then by number, both ways round when `descending`. Any other
// column, or none, keeps the list's own order.
struct ListedOrder {
  std::string column;
  bool descending = false;
};

// A page of results: up to `page_size` rows from row `page * page_size`.
struct ListedPage {
  std::vector<ListedRequest> rows;
  bool more = false;  // a further page follows
};

// How many requests each queue holds, by Queue.
struct QueueCounts {
  int64_t count[4] = {0, 0, 0, 0};
};

// The work group of the person named `personnel_name`; empty if none.
std::string WorkGroupOf(const std::string& settings_path,
                        std::string_view personnel_name);

// A page of `queue`; `work_group` is the group for Queue::kWorkGroup.
Status ReadQueue(const std::string& settings_path, Queue queue,
                 std::string_view work_group, const ListedOrder& order,
                 int page, int page_size, ListedPage* out);

// The number of requests in every queue; `work_group` as for ReadQueue.
Status CountQueues(const std::string& settings_path,
                   std::string_view work_group, QueueCounts* out);

// The request numbered `number`, open or closed: no row, or one.
Status FindRequestNumber(const std::string& settings_path, int32_t number,
                         ListedPage* out);

// Creates the find index unless it exists, inside the caller's transaction
// on `db` (`kirvs init` and `kirvs copy` make it with the tables; on
// PostgreSQL it needs the right to make indexes).
Status AddRequestWords(Database* db);

// AddRequestWords in a transaction of its own on the desk of the settings
// file.
Status EnsureRequestWords(const std::string& settings_path);

// A page of the open and closed requests whose description, resolution,
// contact or user id hold every word of `words` (a word's start is
// enough), outstanding ones first unless `order` names a column.
Status FindRequests(const std::string& settings_path, std::string_view words,
                    const ListedOrder& order, int page, int page_size,
                    ListedPage* out);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_REQUEST_FINDER_H_

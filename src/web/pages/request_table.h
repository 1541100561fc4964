// The pages the front makes itself: the queues and the find box's results,
// a table of requests with a link to each outstanding one, and links to
// the neighbouring pages.
//
// Pure and thread-safe.

#ifndef KIRVS_SRC_WEB_PAGES_REQUEST_TABLE_H_
#define KIRVS_SRC_WEB_PAGES_REQUEST_TABLE_H_

#include <string>
#include <string_view>

#include "data/request_finder.h"
#include "web/pages/captions.h"

namespace kirvs::web {

// How many requests a page of a queue or of found requests lists.
inline constexpr int kListPageSize = 50;

struct RequestTableView {
  std::string title;          // plain text
  std::string address;        // this list's address without its page
  int page = 0;               // 0-based
  const ListedPage* results;  // not owned
  bool show_queue_links = false;
  // On a queue's page: the count of every queue, and which one this is.
  const QueueCounts* counts = nullptr;  // not owned
  Queue queue = Queue::kAllOpen;
  ListedOrder order;         // as the results are sorted
  const Captions* captions;  // not owned
};

// The fragment of such a page, in the markup of the engine's lists; each
// column's header sorts by it (LinkHeaders).
std::string RenderRequestTable(const RequestTableView& view);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_PAGES_REQUEST_TABLE_H_

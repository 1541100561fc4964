// The lists the front makes itself: the queues and the find box's results.

#include <algorithm>
#include <optional>
#include <string>

#include "data/request_finder.h"
#include "platform/ascii.h"
#include "platform/text_forms.h"
#include "web/http/request_parsing.h"
#include "web/pages/problem_pages.h"
#include "web/pages/request_table.h"
#include "web/routes/front.h"

namespace kirvs::web {

Reply HelpDeskFront::ShowRequests(const Visit& visit, std::string_view path,
                                  std::string_view query) {
  Reply reply;
  auto session = sessions_.Find(visit.session_cookie);
  if (!session) return NoSession(visit, std::move(reply));
  reply.user = session->user_id;
  std::string words;
  int page = 0;
  std::optional<std::string> sort;
  bool descending = false;
  for (const SubmittedForm::Field& field :
       ParseFormBody(query.starts_with('?') ? query.substr(1) : query)) {
    if (field.first == "q") words = std::string(TrimBlanks(field.second));
    if (field.first == "page") {
      page = std::max(0, ParseInteger(field.second).value_or(1) - 1);
    }
    if (field.first == "sort") sort = field.second;
    if (field.first == "dir") descending = field.second == "desc";
  }
  // A header clicked sorts every list of requests alike for the session;
  // a column the lists do not have means their own order.
  ListOrder kept{session->lists_order_column, session->lists_order_descending};
  if (sort) {
    kept = ListOrder();
    for (std::string_view column : kListedColumns) {
      if (EqualsIgnoringCase(column, *sort)) {
        kept = ListOrder{std::string(column), descending};
      }
    }
    state_.SetOrder(session->id, kept, ListKind::kRequests);
  }
  ListedOrder order{kept.column, kept.descending};
  Captions captions(options_.settings_path);
  RequestTableView view;
  ListedPage results;
  QueueCounts counts;
  Status s;
  if (path == "/find") {
    reply.command = "FIND";
    view.title = "Requests with: " + words;
    view.address = "/find?q=" + UrlEncode(words);
    std::optional<int32_t> number = ParseInteger(words);
    if (number && words.find_first_not_of("0123456789") == std::string::npos) {
      // A number opens its request; a closed one, which has no page of its
      // own, is listed.
      view.title = "Request " + words;
      s = FindRequestNumber(options_.settings_path, *number, &results);
      if (s.ok() && !results.rows.empty() && !results.rows.front().closed) {
        reply.result = "ok";
        return Redirect(RequestAddress(words), std::move(reply));
      }
    } else {
      s = FindRequests(options_.settings_path, words, order, page,
                       kListPageSize, &results);
    }
  } else {
    reply.command = "QUEUE";
    std::string_view name = path.substr(path.rfind('/') + 1);
    Queue queue;
    const std::string group =
        WorkGroupOf(options_.settings_path, session->personnel_name);
    if (name == "unassigned") {
      queue = Queue::kUnassigned;
      view.title = "Unassigned requests";
    } else if (name == "workgroup") {
      queue = Queue::kWorkGroup;
      view.title = "Open requests of " +
                   (group.empty() ? std::string("no work group") : group);
    } else if (name == "open") {
      queue = Queue::kAllOpen;
      view.title = "All open requests";
    } else if (name == "closed") {
      queue = Queue::kClosed;
      view.title = "Recently closed requests";
    } else {
      reply.status = 404;
      reply.result = "refused";
      reply.body = RenderStatusPage(404);
      return reply;
    }
    view.address = std::string(path);
    view.show_queue_links = true;
    s = ReadQueue(options_.settings_path, queue, group, order, page,
                  kListPageSize, &results);
    if (s.ok()) s = CountQueues(options_.settings_path, group, &counts);
    view.counts = &counts;
    view.queue = queue;
  }
  view.page = page;
  view.results = &results;
  view.order = order;
  view.captions = &captions;
  if (!s.ok()) {
    reply.result = "failed";
    reply.error = s.message();
    return ShowPostedFromPage(*session, Visit(),
                              "The help desk could not read these requests.",
                              std::move(reply));
  }
  reply.result = "ok";
  return ShowNewPage(*session, RenderRequestTable(view), "", std::move(reply));
}

}  // namespace kirvs::web

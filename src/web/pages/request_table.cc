#include "web/pages/request_table.h"

#include "platform/escape.h"
#include "web/pages/enhance.h"

namespace kirvs::web {

namespace {

void AppendCell(std::string* page, std::string_view text) {
  *page += "<td><font size=2>";
  AppendHtml(page, text);
  *page += "</td>";
}

std::string PageAddress(const std::string& address, int page) {
  std::string link = address;
  link += address.find('?') == std::string::npos ? '?' : '&';
  link += "page=" + std::to_string(page + 1);
  return link;
}

// The number of requests in the queue shown.
int64_t QueueTotal(const RequestTableView& view) {
  return view.counts->count[static_cast<int>(view.queue)];
}

}  // namespace

std::string RenderRequestTable(const RequestTableView& view) {
  std::string page =
      "<p><img src='kvlogo.gif' width=80 height=69><font face=arial "
      "size=4><strong>";
  AppendHtml(&page, view.title);
  page += "</strong></font></p>";
  if (view.show_queue_links) {
    static constexpr std::pair<const char*, const char*> kQueues[] = {
        {"/queues/unassigned", "Unassigned"},
        {"/queues/workgroup", "My work group"},
        {"/queues/open", "All open"},
        {"/queues/closed", "Recently closed"}};
    page += "<nav class=\"kv-queues\" aria-label=\"Queues\">";
    for (int i = 0; i < 4; ++i) {
      page +=
          std::string(i ? " " : "") + "<a href=\"" + kQueues[i].first + "\"" +
          (static_cast<int>(view.queue) == i ? " aria-current=\"page\"" : "") +
          ">" + kQueues[i].second;
      if (view.counts) {
        page += " <span class=\"kv-queue-count\">(" +
                std::to_string(view.counts->count[i]) + ")</span>";
      }
      page += "</a>";
    }
    page += "</nav>";
  }
  page +=
      "<table cellpadding=2 valign=top><tr>"
      "<td bgcolor='#00c0ff'><font size=2><b>RequestNo</b></td>"
      "<td bgcolor='#00c0ff'><font size=2><b>Requested</b></td>"
      "<td bgcolor='#00c0ff'><font size=2><b>Priority</b></td>"
      "<td bgcolor='#00c0ff'><font size=2><b>Status</b></td>"
      "<td bgcolor='#00c0ff'><font size=2><b>Personnel</b></td>"
      "<td bgcolor='#00c0ff'><font size=2><b>WorkGroup</b></td></tr>";
  for (const ListedRequest& row : view.results->rows) {
    std::string number = std::to_string(row.request_no);
    page += "<tr><td>";
    if (row.closed) {
      page += "<font size=2>" + number + " (closed)";
    } else {
      page += "<a class=\"kv-request\" href=\"/requests/" + number + "\">" +
              number + "</a>";
    }
    page += "</td>";
    AppendCell(&page, row.requested);
    AppendCell(&page, row.priority);
    AppendCell(&page, row.status);
    AppendCell(&page, row.personnel);
    AppendCell(&page, row.work_group);
    page += "</tr><tr><td></td><td colspan=5><font size=2>";
    AppendHtml(&page, row.description);
    page += "</td></tr>";
  }
  LinkHeaders(&page, view.address,
              std::vector<std::string>(std::begin(kListedColumns),
                                       std::end(kListedColumns)),
              view.order.column, view.order.descending, *view.captions);
  page += "</table><p class=\"kv-count\">";
  if (view.results->rows.empty()) {
    page += "No requests here.";
  } else {
    page +=
        "Requests " + std::to_string(view.page * kListPageSize + 1) + " to " +
        std::to_string(view.page * kListPageSize + view.results->rows.size()) +
        (view.counts ? " of " + std::to_string(QueueTotal(view)) : "") + ".";
  }
  page += "</p><p class=\"kv-pages\">";
  if (view.page > 0) {
    page += "<a href=\"";
    AppendHtml(&page, PageAddress(view.address, view.page - 1));
    page += "\">Previous page</a> ";
  }
  if (view.results->more) {
    page += "<a href=\"";
    AppendHtml(&page, PageAddress(view.address, view.page + 1));
    page += "\">Next page</a>";
  }
  page += "</p>";
  return page;
}

}  // namespace kirvs::web

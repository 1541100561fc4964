#include "web/pages/enhance.h"

#include <vector>

#include "platform/escape.h"

namespace kirvs::web {

namespace {

void ReplaceAll(std::string* text, std::string_view from, std::string_view to,
                size_t begin, size_t* end) {
  for (size_t at = text->find(from, begin);
       at != std::string::npos && at < *end;
       at = text->find(from, at + to.size())) {
    text->replace(at, from.size(), to);
    *end = *end + to.size() - from.size();
  }
}

}  // namespace

std::string_view DefaultCaption(std::string_view fragment) {
  if (fragment.find("value='Close Now'") != std::string_view::npos &&
      fragment.find("value='Save Close Details'") != std::string_view::npos) {
    return "Save Close Details";
  }
  return {};
}

void PreselectOption(std::string* fragment, std::string_view select_name,
                     std::string_view value) {
  std::string open = "<select name='" + std::string(select_name) + "'";
  size_t begin = fragment->find(open);
  if (begin == std::string::npos) return;
  size_t end = fragment->find("</select>", begin);
  if (end == std::string::npos) return;
  std::string option = "<option value='" + EscapeHtml(value) + "'";
  size_t at = fragment->find(option, begin);
  if (at == std::string::npos || at > end) return;
  ReplaceAll(fragment, " selected>", ">", begin, &end);
  at = fragment->find(option, begin);
  fragment->insert(at + option.size(), " selected");
}

namespace {

constexpr std::string_view kListTable = "<table cellpadding=2 valign=top>";

// The options of the list's sort select, and which one is selected.
std::vector<std::string> SortColumns(std::string_view fragment,
                                     std::string* selected) {
  std::vector<std::string> columns;
  size_t begin = fragment.find("<select name='sortrequests'");
  if (begin == std::string_view::npos) return columns;
  size_t end = fragment.find("</select>", begin);
  for (size_t at = fragment.find("<option", begin);
       at != std::string_view::npos && at < end;
       at = fragment.find("<option", at + 1)) {
    size_t value = fragment.find("value='", at);
    if (value == std::string_view::npos || value > end) break;
    value += 7;
    std::string column(
        fragment.substr(value, fragment.find('\'', value) - value));
    std::string_view tag = fragment.substr(at, value - at);
    if (tag.find(" selected") != std::string_view::npos) *selected = column;
    columns.push_back(std::move(column));
  }
  return columns;
}

}  // namespace

void ReverseListRows(std::string* fragment) {
  size_t table = fragment->find(kListTable);
  if (table == std::string::npos) return;
  size_t body = fragment->find("</tr>", table);
  size_t end = fragment->find("</table>", table);
  if (body == std::string::npos || end == std::string::npos || body > end) {
    return;
  }
  body += 5;
  // Each request starts with the row of its button; the rows after it up
  // to the next one (its description) belong to it.
  std::vector<std::string> requests;
  std::string_view rows = std::string_view(*fragment).substr(body, end - body);
  size_t at = 0;
  while (at < rows.size()) {
    size_t next = rows.find("<tr><td><input", at + 1);
    if (next == std::string_view::npos) next = rows.size();
    requests.emplace_back(rows.substr(at, next - at));
    at = next;
  }
  std::string reversed;
  for (auto it = requests.rbegin(); it != requests.rend(); ++it)
    reversed += *it;
  fragment->replace(body, end - body, reversed);
}

void LinkHeaders(std::string* fragment, std::string_view address,
                 const std::vector<std::string>& columns,
                 std::string_view sorted, bool descending,
                 const Captions& captions) {
  size_t table = fragment->find(kListTable);
  if (columns.empty() || table == std::string::npos) return;
  size_t end = fragment->find("</tr>", table);
  for (const std::string& column : columns) {
    std::string header = "<b>" + column + "</b>";
    size_t at = fragment->find(header, table);
    if (at == std::string::npos || at > end) continue;
    bool current = column == sorted;
    std::string href(address);
    href += href.find('?') == std::string::npos ? "?sort=" : "&sort=";
    for (char c : column) {
      // The names of the sort list are plain names; a blank is the only
      // character of them an address must escape.
      if (c == ' ') {
        href += "%20";
      } else {
        href += c;
      }
    }
    if (current && !descending) href += "&dir=desc";
    std::string caption = EscapeHtml(captions.Of(column));
    // The arrow of the sorted column is the stylesheet's, after the name.
    std::string link = "<b><a class=\"kv-sort";
    if (current) link += descending ? " kv-sorted-desc" : " kv-sorted-asc";
    link += "\" href=\"" + EscapeHtml(href) + "\"";
    if (current) {
      link += " aria-label=\"" + caption +
              (descending ? ", sorted descending\"" : ", sorted ascending\"");
    }
    link += ">" + caption + "</a></b>";
    fragment->replace(at, header.size(), link);
    end += link.size() - header.size();
  }
}

void LinkListHeaders(std::string* fragment, bool descending,
                     const Captions& captions) {
  std::string selected;
  std::vector<std::string> columns = SortColumns(*fragment, &selected);
  LinkHeaders(fragment, "/", columns, selected, descending, captions);
}

void RemoveQueryEcho(std::string* fragment) {
  constexpr std::string_view kEcho =
      "<font size=1 face=arial color=blue><i><p>";
  size_t at = fragment->find(kEcho);
  if (at == std::string::npos) return;
  size_t end = fragment->find("</i></p>", at);
  if (end == std::string::npos) return;
  fragment->erase(at, end + 8 - at);
}

void ShowItemIds(std::string* fragment) {
  constexpr std::string_view kButton = "<input name=KIRVSCommand value=*";
  constexpr std::string_view kEnd = " type=submit>";
  for (size_t at = fragment->find(kButton); at != std::string::npos;
       at = fragment->find(kButton, at + 1)) {
    size_t id = at + kButton.size();
    size_t end = fragment->find(kEnd, id);
    if (end == std::string::npos) return;
    // The engine escaped the id for an unquoted attribute: blanks and
    // quotes are character references, so it reads the same in quotes and
    // as text.
    std::string escaped = fragment->substr(id, end - id);
    std::string button = "<button name=KIRVSCommand value=\"*" + escaped +
                         "\" type=submit>" + escaped + "</button>";
    fragment->replace(at, end + kEnd.size() - at, button);
  }
}

bool IsEmptyResult(std::string_view fragment) {
  return fragment.find("<p>0 items in current list.") !=
             std::string_view::npos ||
         fragment.find("<p>0 solutions in current list.") !=
             std::string_view::npos;
}

void MakeInputsReadOnly(std::string* fragment) {
  size_t end = fragment->size();
  ReplaceAll(fragment, "<input name='", "<input readonly name='", 0, &end);
}

}  // namespace kirvs::web

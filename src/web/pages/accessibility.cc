#include "web/pages/accessibility.h"

#include <vector>

#include "platform/ascii.h"
#include "platform/escape.h"

namespace kirvs::web {

namespace {

constexpr std::string_view kListTable = "<table cellpadding=2 valign=top>";
constexpr std::string_view kListHeader =
    "<td bgcolor='#00c0ff'><font size=2><b>";
constexpr std::string_view kRecordLabel =
    "<td bgcolor='#00c0ff'><font size=2 face=arial><b>";
constexpr std::string_view kSearchLabel = "<tr><td><font size=2 face=arial>";
constexpr std::string_view kDescriptionRow = "<tr><td></td><td colspan=";

// The value of attribute `name` in the tag `tag`, quoted or not.
std::string Attribute(std::string_view tag, std::string_view name) {
  std::string marker = " " + std::string(name) + "=";
  size_t at = AsciiUpper(tag).find(AsciiUpper(marker));
  if (at == std::string::npos) return std::string();
  at += marker.size();
  if (at >= tag.size()) return std::string();
  char quote = tag[at];
  if (quote == '\'' || quote == '"') {
    size_t end = tag.find(quote, at + 1);
    return std::string(tag.substr(at + 1, end - at - 1));
  }
  size_t end = tag.find_first_of(" >", at);
  return std::string(tag.substr(at, end - at));
}

// The banner, logo and title in a paragraph, becomes the page's heading.
void MarkBanner(std::string* page) {
  constexpr std::string_view kOpen =
      "<p><img src='kvlogo.gif' width=80 height=69><font face=arial "
      "size=4><strong>";
  constexpr std::string_view kClose = "</strong></font></p>";
  size_t at = page->find(kOpen);
  if (at == std::string::npos) return;
  size_t end = page->find(kClose, at);
  if (end == std::string::npos) return;
  std::string title = page->substr(at + kOpen.size(), end - at - kOpen.size());
  page->replace(at, end + kClose.size() - at,
                "<div class=\"kv-banner\"><img alt=\"Help desk logo\" "
                "src='kvlogo.gif' width=80 height=69><h1>" +
                    title + "</h1></div>");
}

void LabelFields(std::string* page, const Captions& captions) {
  for (std::string_view opening : {"<input", "<select"}) {
    for (size_t at = page->find(opening); at != std::string::npos;
         at = page->find(opening, at + 1)) {
      size_t end = page->find('>', at);
      if (end == std::string::npos) return;
      std::string_view tag = std::string_view(*page).substr(at, end - at + 1);
      std::string type = AsciiUpper(Attribute(tag, "type"));
      std::string name = Attribute(tag, "name");
      if (type == "HIDDEN" || type == "SUBMIT" || name.empty() ||
          tag.find("aria-label") != std::string_view::npos) {
        continue;
      }
      std::string label = " aria-label=\"";
      AppendHtml(&label, captions.Of(name));
      label += '"';
      page->insert(end, label);
    }
  }
}

// Replaces the text from `start` up to the next tag, when it is a plain
// column name that `accept` takes, by its caption.
template <typename Accept>
void CaptionText(std::string* page, size_t start, const Captions& captions,
                 Accept accept) {
  size_t end = page->find('<', start);
  if (end == std::string::npos || end == start) return;
  std::string name = page->substr(start, end - start);
  if (name.find_first_of("&>") != std::string::npos || !accept(name, end)) {
    return;
  }
  page->replace(start, end - start, EscapeHtml(captions.Of(name)));
}

// The captions of the record pages, the search forms and the sort line.
void CaptionLabels(std::string* page, const Captions& captions) {
  auto any = [](const std::string&, size_t) { return true; };
  for (size_t at = page->find(kRecordLabel); at != std::string::npos;
       at = page->find(kRecordLabel, at + 1)) {
    CaptionText(page, at + kRecordLabel.size(), captions, any);
  }
  // A search form's label is the text of the cell before its field.
  for (size_t at = page->find(kSearchLabel); at != std::string::npos;
       at = page->find(kSearchLabel, at + 1)) {
    CaptionText(
        page, at + kSearchLabel.size(), captions,
        [&](const std::string& name, size_t end) {
          size_t cell = page->find("</td>", end + 5);
          return page->compare(end, 9, "</td><td>") == 0 &&
                 page->substr(end, cell - end).find("name='" + name + "'") !=
                     std::string::npos;
        });
  }
  size_t sort = page->find("<select name='sortrequests'");
  size_t sort_end = page->find("</select>", sort);
  for (size_t at = page->find("<option", sort);
       sort != std::string::npos && at < sort_end;
       at = page->find("<option", at + 1)) {
    size_t text = page->find('>', at) + 1;
    size_t before = page->size();
    CaptionText(page, text, captions, any);
    sort_end = sort_end + page->size() - before;
  }
}

// The rows of `body` (the markup after a list's header row), each from its
// "<tr>" up to the next.
std::vector<std::string> Rows(std::string_view body) {
  std::vector<std::string> rows;
  size_t at = body.find("<tr>");
  while (at != std::string_view::npos) {
    size_t next = body.find("<tr>", at + 4);
    rows.emplace_back(body.substr(at, next - at));
    at = next;
  }
  return rows;
}

// Gives each cell of `row` the caption of its column.
std::string LabelCells(std::string row,
                       const std::vector<std::string>& labels) {
  size_t column = 0;
  for (size_t at = row.find("<td");
       at != std::string::npos && column < labels.size();
       at = row.find("<td", at + 1), ++column) {
    std::string attribute = " data-label=\"" + labels[column] + "\"";
    row.insert(at + 3, attribute);
  }
  return row;
}

// One list: its header cells become column headers with captions (the
// header group), and each entry a group of rows of its own.
size_t MarkList(std::string* page, size_t table, const Captions& captions) {
  size_t head = table + kListTable.size();
  size_t head_end = page->find("</tr>", head);
  size_t end = page->find("</table>", head);
  if (head_end == std::string::npos || end == std::string::npos ||
      head_end > end || page->compare(head, 4, "<tr>") != 0) {
    return head;
  }
  head_end += 5;
  std::string header = page->substr(head, head_end - head);
  std::vector<std::string> labels;
  for (size_t at = header.find(kListHeader); at != std::string::npos;
       at = header.find(kListHeader, at + 1)) {
    size_t text = at + kListHeader.size();
    if (header.compare(text, 2, "<a") != 0) {
      CaptionText(&header, text, captions,
                  [](const std::string&, size_t) { return true; });
    }
    size_t close = header.find("</td>", at);
    if (close == std::string::npos) break;
    header.replace(close, 5, "</th>");
    header.replace(at, 3, "<th scope=col");
    // The label is the header's text without its tags (a sort link's).
    std::string label;
    bool in_tag = false;
    for (size_t i = text + 10; i < close + 10; ++i) {
      char c = header[i];
      if (c == '<') in_tag = true;
      if (!in_tag) label += c;
      if (c == '>') in_tag = false;
    }
    labels.push_back(label);
  }
  std::string list = "<thead>" + header + "</thead>";
  bool open = false;
  for (std::string& row :
       Rows(std::string_view(*page).substr(head_end, end - head_end))) {
    if (row.starts_with(kDescriptionRow)) {
      list += "<tr class=\"kv-description\">" + row.substr(4);
      continue;
    }
    if (open) list += "</tbody>";
    list += "<tbody class=\"kv-entry\">" + LabelCells(std::move(row), labels);
    open = true;
  }
  if (open) list += "</tbody>";
  page->replace(head, end - head, list);
  return head + list.size();
}

}  // namespace

std::string AccessibleFragment(std::string_view fragment,
                               const Captions& captions) {
  std::string page(fragment);
  MarkBanner(&page);
  // Any other image is the logo too.
  for (size_t at = page.find("<img "); at != std::string::npos;
       at = page.find("<img ", at + 1)) {
    size_t end = page.find('>', at);
    if (end == std::string::npos) break;
    if (std::string_view(page).substr(at, end - at).find("alt=") ==
        std::string_view::npos) {
      page.insert(at + 4, " alt=\"Help desk logo\"");
    }
  }
  LabelFields(&page, captions);
  CaptionLabels(&page, captions);
  size_t table = page.find(kListTable);
  while (table != std::string::npos) {
    table = page.find(kListTable, MarkList(&page, table, captions));
  }
  return page;
}

}  // namespace kirvs::web

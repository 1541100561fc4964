#include "web/pages/accessibility.h"

#include "platform/ascii.h"
#include "platform/escape.h"

namespace kirvs::web {

namespace {

constexpr char kListTable[] = "<table cellpadding=2 valign=top>";
constexpr char kListHeader[] = "<td bgcolor='#00c0ff'><font size=2><b>";

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

// The caption of a field: its column's name, as the page shows it beside
// the field; the login page's fields have names of their own.
std::string Caption(std::string_view name) {
  if (EqualsIgnoringCase(name, "txtUserID")) return "User ID";
  if (EqualsIgnoringCase(name, "txtPassword")) return "Password";
  if (EqualsIgnoringCase(name, "sortrequests")) return "Sort requests by";
  return std::string(name);
}

void LabelFields(std::string* page) {
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
      AppendHtml(&label, Caption(name));
      label += '"';
      page->insert(end, label);
    }
  }
}

// The header cells of the lists become column headers.
void MarkListHeaders(std::string* page) {
  for (size_t table = page->find(kListTable); table != std::string::npos;
       table = page->find(kListTable, table + 1)) {
    size_t row_end = page->find("</tr>", table);
    for (size_t at = page->find(kListHeader, table);
         at != std::string::npos && at < row_end;
         at = page->find(kListHeader, at + 1)) {
      page->replace(at, 3, "<th scope=col");
      row_end += 10;
      size_t close = page->find("</td>", at);
      if (close == std::string::npos || close > row_end) break;
      page->replace(close, 5, "</th>");
    }
  }
}

}  // namespace

std::string AccessibleFragment(std::string_view fragment) {
  std::string page(fragment);
  // The logo is the help desk's mark beside the page's title.
  for (size_t at = page.find("<img "); at != std::string::npos;
       at = page.find("<img ", at + 1)) {
    size_t end = page.find('>', at);
    if (end == std::string::npos) break;
    if (std::string_view(page).substr(at, end - at).find("alt=") ==
        std::string_view::npos) {
      page.insert(at + 4, " alt=\"Help desk logo\"");
    }
  }
  // The banner's title is the page's heading.
  size_t title = page.find("<strong>");
  if (title != std::string::npos) {
    page.replace(title, 8, "<strong role=\"heading\" aria-level=\"1\">");
  }
  LabelFields(&page);
  MarkListHeaders(&page);
  return page;
}

}  // namespace kirvs::web

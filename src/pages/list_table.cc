#include "pages/list_table.h"

#include "platform/escape.h"
#include "platform/text_forms.h"

namespace kirvs {

namespace {

constexpr std::string_view kDescription = "Description";

// The text of a column of the current row, in `*buffer` (which the whole
// table reuses) or in the row; empty when the value cannot be read.
std::string_view ValueText(RecordSource& rs, int index, std::string* buffer) {
  std::string_view text;
  if (!rs.GetText(index, buffer, &text).ok()) return "";
  return text;
}

void AppendRowButton(std::string* page, RecordSource& rs, int key_index,
                     const ListTableStyle& style, std::string* buffer) {
  std::string_view caption =
      ValueText(rs, style.caption_from_key_column ? key_index : 0, buffer);
  page->append(style.button_start);
  if (!style.button_start.empty() && style.button_start.back() == '\'') {
    AppendHtml(page, caption);
  } else {
    AppendHtmlUnquoted(page, caption);
  }
  page->append(style.button_end);
}

}  // namespace

int32_t AppendListTable(std::string* page, RecordSource& rs,
                        const ListTableStyle& style) {
  const int columns = rs.field_count();
  // Every Description column stays out of the grid, so that the cells of a
  // list naming it twice still line up with the headers; the description
  // line shows the first.
  auto is_description = [&](int i) {
    return style.description_lines && rs.field(i).name == kDescription;
  };
  int description_index = -1;
  page->append("<table cellpadding=2 valign=top><tr>");
  for (int i = 0; i < columns; ++i) {
    const std::string& name = rs.field(i).name;
    if (is_description(i)) {
      if (description_index < 0) description_index = i;
      continue;
    }
    page->append("<td bgcolor='#00c0ff'><font size=2><b>");
    AppendHtml(page, name);
    page->append("</b></td>");
  }
  page->append("</tr>");
  const std::string description_start =
      "<tr><td></td><td colspan=" + FormatInteger(columns - 1) +
      "><font size=2>";
  std::string text;
  int32_t count = 0;
  // A failed read ends the walk and sticks in rs.status(), which the caller
  // checks.
  Status walk = rs.MoveFirst();
  for (; walk.ok() && !rs.eof() && !rs.bof(); walk = rs.MoveNext()) {
    page->append("<tr>");
    ++count;
    for (int i = 0; i < columns; ++i) {
      const std::string& name = rs.field(i).name;
      if (is_description(i)) continue;
      if (!style.key_column.empty() && name == style.key_column) {
        AppendRowButton(page, rs, i, style, &text);
        continue;
      }
      page->append("<td><font size=2>");
      AppendHtml(page, ValueText(rs, i, &text));
      page->append("</td>");
    }
    page->append("</tr>");
    if (description_index >= 0) {
      page->append(description_start);
      AppendHtml(page, ValueText(rs, description_index, &text));
      page->append("</td>");
    }
  }
  page->append("</table>");
  return count;
}

void AppendCountLine(std::string* page, int32_t count,
                     std::string_view wording_and_end) {
  page->append("<font size=1 face=arial></b><i><p>");
  page->append(FormatInteger(count));
  page->append(wording_and_end);
}

}  // namespace kirvs

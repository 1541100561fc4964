// The list table: the grid shared by the request list, the activity log, the
// search results and the configuration list. One header cell per column; one
// row per record, with the key column drawn as a row button whose caption the
// front turns into a "show" command; on the lists that have them, the
// record's Description on a line of its own under each row instead of in a
// column.

#ifndef KIRVS_SRC_PAGES_LIST_TABLE_H_
#define KIRVS_SRC_PAGES_LIST_TABLE_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/record_source.h"

namespace kirvs {

struct ListTableStyle {
  // The column drawn as a row button (names compared exactly); none if empty.
  std::string_view key_column;
  // Whether the button's caption is the value of the key column itself
  // rather than of the first column of the record source.
  bool caption_from_key_column = false;
  // Markup before and after the caption; a caption between apostrophes is
  // escaped as a quoted attribute value, any other as an unquoted one.
  std::string_view button_start = "<td><input name=KIRVSCommand value=";
  std::string_view button_end = " type=submit></td>";
  // Whether Description is taken out of the grid and shown on a line of its
  // own under each record; otherwise it is an ordinary column.
  bool description_lines = true;
};

// The plain grid of the solutions results and the configuration list: every
// column, Description included, and no row buttons.
inline constexpr ListTableStyle kPlainGrid = {.key_column = "",
                                              .description_lines = false};

// Appends the table, from "<table ...>" to "</table>", walking `rs` from its
// first record; returns the number of records listed. Every value is
// escaped; a value that cannot be read leaves its cell empty.
int32_t AppendListTable(std::string* page, RecordSource& rs,
                        const ListTableStyle& style);

// Appends the count line: "<font size=1 face=arial></b><i><p>" + count +
// `wording_and_end` (for example " items in current list.</i><br>").
void AppendCountLine(std::string* page, int32_t count,
                     std::string_view wording_and_end);

}  // namespace kirvs

#endif  // KIRVS_SRC_PAGES_LIST_TABLE_H_

#include "search/search_results.h"

#include <string_view>

#include "data/settings.h"
#include "pages/list_table.h"
#include "platform/escape.h"
#include "search/criteria.h"

namespace kirvs {

namespace {

// What tells the two result pages apart.
struct SearchKind {
  std::string_view column_list_key;
  std::string_view from;      // " FROM " + table
  std::string_view order_by;  // " ORDER BY ..."
  std::string_view banner;
  // Inventory rows carry a button that opens the item and a line with
  // its Description; solutions are a plain grid.
  bool item_rows;
  std::string_view count_wording;
  std::string_view button_row;
  std::string_view failure;  // the message up to the error's text
};

constexpr SearchKind kInventory = {
    "InventoryList",
    " FROM Items",
    " ORDER BY ItemId",
    "<p><img src='kvlogo.gif' width=80 height=69><font face=arial "
    "size=4><strong>Inventory Search Results</strong></font></p>",
    true,
    " items in current list.</i><br>",
    "<input name=KIRVSCommand value='Show List' type=submit><input "
    "name=KIRVSCommand value='Search Solutions' type=submit><input "
    "name=KIRVSCommand value='Search Inventory' type=submit><input "
    "name=KIRVSCommand value='Logout' type=submit>",
    "An error occurred while trying to retrieve inventory items from Items "
    "table (",
};

constexpr SearchKind kSolutions = {
    "SolutionsList",
    " FROM Solutions",
    " ORDER BY SolutionId DESC",
    "<p><img src='kvlogo.gif' width=80 height=69><font face=arial "
    "size=4><strong>Solutions Search Results</strong></font></p>",
    false,
    " solutions in current list.</i><br>",
    "<input name=KIRVSCommand value='Show List' type=submit><input "
    "name=KIRVSCommand value='Search Inventory' type=submit><input "
    "name=KIRVSCommand value='Search Solutions' type=submit><input "
    "name=KIRVSCommand value='Logout' type=submit>",
    "An error occurred while trying to retrieve solutions from Solutions "
    "table (",
};

bool RunSearch(SessionState* session, const Variant& form,
               const SearchKind& kind) {
  session->page_text.clear();
  session->error_text.clear();
  session->current_rs.reset();
  SearchCriteria criteria;
  Status s = BuildSearchCriteria(form.form(), &criteria);
  session->error_text = criteria.html;
  std::string db_path = ReadSetting(session->settings_path, "DBPath");
  std::string column_list =
      ReadColumnList(session->settings_path, kind.column_list_key);

  // A field name that is not a plain name runs no query at all.
  if (s.ok()) {
    std::string query = "SELECT " + column_list;
    query += kind.from;
    query += criteria.sql;
    query += kind.order_by;
    s = RecordSource::Open(db_path, query, OpenMode::kRead,
                           &session->current_rs);
  }
  if (!s.ok()) {
    session->error_text =
        std::string(kind.failure) + EscapeHtml(s.message()) + ").";
    return false;
  }
  RecordSource& rs = *session->current_rs;

  std::string page(kind.banner);
  page += "<p><blockquote><blockquote><font face=arial size=2><b>";
  int32_t count = 0;
  if (kind.item_rows) {
    ListTableStyle style;
    style.key_column = "ItemId";
    style.button_start = "<td><input name=KIRVSCommand value=*";
    count = AppendListTable(&page, rs, style);
  } else {
    count = AppendListTable(&page, rs, kPlainGrid);
  }
  if (!rs.status().ok()) {
    session->error_text =
        std::string(kind.failure) + EscapeHtml(rs.status().message()) + ").";
    session->current_rs.reset();
    return false;
  }
  AppendCountLine(&page, count, kind.count_wording);
  page += "<font size=1 face=arial color=blue><i><p>SELECT ";
  AppendHtml(&page, column_list);
  page += kind.from;
  page += criteria.html;
  page += kind.order_by;
  page += "</i></p><br>";
  page += kind.button_row;
  session->current_rs.reset();
  session->page_text = std::move(page);
  return true;
}

}  // namespace

bool RunInventorySearch(SessionState* session, const Variant& form) {
  return RunSearch(session, form, kInventory);
}

bool RunSolutionsSearch(SessionState* session, const Variant& form) {
  return RunSearch(session, form, kSolutions);
}

}  // namespace kirvs

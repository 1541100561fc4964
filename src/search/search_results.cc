#include "search/search_results.h"

#include <span>
#include <string_view>

#include "pages/list_table.h"
#include "pages/page_fragments.h"
#include "pages/page_source.h"
#include "platform/escape.h"
#include "search/criteria.h"

namespace kirvs {

namespace {

// What tells the two result pages apart.
struct SearchKind {
  PageSource source;
  std::string_view from;      // " FROM " + table
  std::string_view order_by;  // " ORDER BY ..."
  std::string_view title;
  // Inventory rows carry a button that opens the item and a line with
  // its Description; solutions are a plain grid.
  bool item_rows;
  std::string_view count_wording;
  std::span<const std::string_view> buttons;
};

constexpr std::string_view kInventoryButtons[] = {
    "Show List", "Search Solutions", "Search Inventory", "Logout"};
constexpr SearchKind kInventory = {
    {.column_list_key = "InventoryList",
     .task = "retrieve inventory items from Items table",
     .clears_page = true},
    " FROM Items",
    " ORDER BY ItemId",
    "Inventory Search Results",
    true,
    " items in current list.</i><br>",
    kInventoryButtons,
};

constexpr std::string_view kSolutionsButtons[] = {
    "Show List", "Search Inventory", "Search Solutions", "Logout"};
constexpr SearchKind kSolutions = {
    {.column_list_key = "SolutionsList",
     .task = "retrieve solutions from Solutions table",
     .clears_page = true},
    " FROM Solutions",
    " ORDER BY SolutionId DESC",
    "Solutions Search Results",
    false,
    " solutions in current list.</i><br>",
    kSolutionsButtons,
};

bool RunSearch(SessionState* session, const Variant& form,
               const SearchKind& kind) {
  // A field name that is not a plain name runs no query at all.
  SearchCriteria criteria;
  Status composed = BuildSearchCriteria(form.form(), &criteria);
  std::string tail(kind.from);
  tail += criteria.sql;
  tail += kind.order_by;
  std::string column_list;
  if (!OpenPageSource(session, kind.source, composed, tail, &column_list)) {
    return false;
  }
  session->error_text = criteria.html;
  RecordSource& rs = *session->current_rs;

  std::string page;
  AppendBanner(&page, kind.title);
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
  if (!rs.status().ok()) return FailPage(session, kind.source, rs.status());
  AppendCountLine(&page, count, kind.count_wording);
  page += "<font size=1 face=arial color=blue><i><p>SELECT ";
  AppendHtml(&page, column_list);
  page += kind.from;
  page += criteria.html;
  page += kind.order_by;
  page += "</i></p><br>";
  AppendButtons(&page, kind.buttons);
  FinishListPage(session, std::move(page));
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

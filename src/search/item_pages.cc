#include "search/item_pages.h"

#include "kirvs/submitted_form.h"
#include "pages/list_table.h"
#include "pages/page_fragments.h"
#include "pages/page_source.h"
#include "platform/escape.h"

namespace kirvs {

bool ShowItem(SessionState* session, const Variant& item_id_value) {
  const std::string item_id = item_id_value.ToText();
  std::string tail = " FROM Items Where ItemId='";
  AppendSqlText(&tail, item_id);
  tail += "'";
  constexpr PageSource kItemSource = {
      .column_list_key = "DisplayItem",
      .task = "retrieve an item from the Items table"};
  if (!OpenPageSource(session, kItemSource, tail)) return false;

  std::string page;
  AppendBanner(&page, "Inventory Item Details: ", item_id);
  page += "<input name=itemid value=";
  AppendHtmlUnquoted(&page, item_id);
  page += " type=hidden>";
  page += kIndent;
  AppendButtons(&page, {"Search Inventory", "Show List", "Logout"});
  page += "<br>";
  std::string after_form = "<br>";
  AppendButtons(&after_form, {"Show Configuration"});
  return FinishRecordPage(session, kItemSource, std::move(page), after_form);
}

bool ShowItemConfiguration(SessionState* session, const Variant& form_value) {
  const SubmittedForm* form = form_value.form();
  std::string item_id = form != nullptr ? form->Get("ItemId") : "";
  item_id = item_id.substr(0, item_id.find(','));
  std::string tail = " FROM Item_Configuration WHERE ItemId='";
  AppendSqlText(&tail, item_id);
  tail += "' ORDER BY SUBITEMID";
  constexpr PageSource kConfigurationSource = {
      .column_list_key = "ConfigList",
      .task = "retrieve configuration details from Item_Configuration table",
      .clears_page = true};
  if (!OpenPageSource(session, kConfigurationSource, tail)) return false;

  std::string page;
  AppendBanner(&page, "Configuration Details for Item: ", item_id);
  page += "<blockquote><blockquote><font face=arial>";
  AppendButtons(&page, {"Search Inventory", "Show List", "Logout"},
                ButtonMarkup::kTypeFirst);
  page += "<br>";
  page += "<br>";
  page += "<input type=hidden name='ItemId' value='";
  AppendHtml(&page, item_id);
  page += "'>";
  RecordSource& rs = *session->current_rs;
  int32_t count = AppendListTable(&page, rs, kPlainGrid);
  if (!rs.status().ok()) {
    return FailPage(session, kConfigurationSource, rs.status());
  }
  AppendCountLine(&page, count, " configuration items in current list.</i>");
  FinishListPage(session, std::move(page));
  return true;
}

}  // namespace kirvs

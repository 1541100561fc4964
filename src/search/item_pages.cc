#include "search/item_pages.h"

#include "data/settings.h"
#include "kirvs/submitted_form.h"
#include "pages/list_table.h"
#include "pages/page_fragments.h"
#include "pages/request_form.h"
#include "platform/escape.h"

namespace kirvs {

namespace {

std::string ItemFailure(const Status& s) {
  return "An error occurred while trying to retrieve an item from the Items "
         "table (" +
         EscapeHtml(s.message()) + ").";
}

std::string ConfigurationFailure(const Status& s) {
  return "An error occurred while trying to retrieve configuration details "
         "from Item_Configuration table (" +
         EscapeHtml(s.message()) + ").";
}

}  // namespace

bool ShowItem(SessionState* session, const Variant& item_id_value) {
  session->error_text.clear();
  session->current_rs.reset();
  const std::string item_id = item_id_value.ToText();
  std::string db_path = ReadSetting(session->settings_path, "DBPath");
  std::string column_list =
      ReadColumnList(session->settings_path, "DisplayItem");

  std::string query = "SELECT " + column_list + " FROM Items Where ItemId='";
  AppendSqlText(&query, item_id);
  query += "'";
  Status s =
      RecordSource::Open(db_path, query, OpenMode::kRead, &session->current_rs);
  if (!s.ok()) {
    session->error_text = ItemFailure(s);
    return false;
  }

  std::string page;
  AppendBanner(&page, "Inventory Item Details: ", item_id);
  page += "<input name=itemid value=";
  AppendHtmlUnquoted(&page, item_id);
  page += " type=hidden>";
  page += kIndent;
  page +=
      "<input name=KIRVSCommand value='Search Inventory' type=submit><input "
      "name=KIRVSCommand value='Show List' type=submit><input "
      "name=KIRVSCommand value='Logout' type=submit><br>";
  page += "<br>";
  s = RenderRequestForm(session, &page);
  if (!s.ok()) {
    session->error_text = ItemFailure(s);
    session->current_rs.reset();
    return false;
  }
  page +=
      "<br><input name=KIRVSCommand value='Show Configuration' type=submit>";
  session->page_text = std::move(page);
  session->current_rs.reset();
  return true;
}

bool ShowItemConfiguration(SessionState* session, const Variant& form_value) {
  session->page_text.clear();
  session->error_text.clear();
  session->current_rs.reset();
  const SubmittedForm* form = form_value.form();
  std::string item_id = form != nullptr ? form->Get("ItemId") : "";
  item_id = item_id.substr(0, item_id.find(','));
  std::string db_path = ReadSetting(session->settings_path, "DBPath");
  std::string column_list =
      ReadColumnList(session->settings_path, "ConfigList");

  std::string query =
      "SELECT " + column_list + " FROM Item_Configuration WHERE ItemId='";
  AppendSqlText(&query, item_id);
  query += "' ORDER BY SUBITEMID";
  Status s =
      RecordSource::Open(db_path, query, OpenMode::kRead, &session->current_rs);
  if (!s.ok()) {
    session->error_text = ConfigurationFailure(s);
    return false;
  }
  RecordSource& rs = *session->current_rs;

  std::string page;
  AppendBanner(&page, "Configuration Details for Item: ", item_id);
  page +=
      "<blockquote><blockquote><font face=arial><input type=submit "
      "name=KIRVSCommand value='Search Inventory'><input type=submit "
      "name=KIRVSCommand value='Show List'><input type=submit "
      "name=KIRVSCommand value='Logout'><br>";
  page += "<br>";
  page += "<input type=hidden name='ItemId' value='";
  AppendHtml(&page, item_id);
  page += "'>";
  int32_t count = AppendListTable(&page, rs, kPlainGrid);
  if (!rs.status().ok()) {
    session->error_text = ConfigurationFailure(rs.status());
    session->current_rs.reset();
    return false;
  }
  AppendCountLine(&page, count, " configuration items in current list.</i>");
  session->current_rs.reset();
  session->page_text = std::move(page);
  return true;
}

}  // namespace kirvs

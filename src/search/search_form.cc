#include "search/search_form.h"

#include <string_view>
#include <vector>

#include "data/lookups.h"
#include "data/settings.h"
#include "kirvs/variant.h"
#include "pages/page_fragments.h"
#include "pages/request_form.h"
#include "platform/escape.h"

namespace kirvs {

namespace {

struct SearchFormKind {
  std::string_view command;
  std::string_view field_list_key;
  std::string_view title;
  std::string_view button;  // the caption of the form's one button
};

constexpr SearchFormKind kSearchForms[] = {
    {"SEARCH SOLUTIONS", "SearchSolutions", "Search Solutions Database",
     "Search Solutions Now"},
    {"SEARCH INVENTORY", "SearchInventory", "Search Inventory Database",
     "Search Inventory Now"},
};

// Items carry a product type, which requests do not: its code table serves
// the search form only.
std::string_view CodeTableFor(std::string_view field_name) {
  if (field_name == "ProductType") return "Product_Types";
  return LookupTableFor(field_name);
}

// Names are taken exactly as written: a blank after a comma belongs to the
// next name, and two commas in a row give an empty name.
std::vector<std::string> SplitFieldList(std::string list) {
  if (!list.ends_with(',')) list += ',';
  std::vector<std::string> names;
  std::string name;
  for (char c : list) {
    if (c == ',') {
      names.push_back(std::move(name));
      name.clear();
    } else {
      name += c;
    }
  }
  return names;
}

}  // namespace

std::optional<bool> ShowSearchForm(SessionState* session,
                                   const std::string& command) {
  const SearchFormKind* kind = nullptr;
  for (const SearchFormKind& candidate : kSearchForms) {
    if (candidate.command == command) kind = &candidate;
  }
  if (kind == nullptr) return std::nullopt;
  std::vector<std::string> fields = SplitFieldList(
      ReadColumnList(session->settings_path, kind->field_list_key));

  std::string page;
  AppendBanner(&page, kind->title);
  page += kIndent;
  page += "<table>";
  for (const std::string& field : fields) {
    page += "<tr><td><font size=2 face=arial>";
    AppendHtml(&page, field);
    std::string_view code_table = CodeTableFor(field);
    if (!code_table.empty()) {
      page += "</td><td>";
      page += BuildSelectList(session->settings_path, field, code_table,
                              Variant(""));
    } else {
      page += "</td><td><input type='Text' name='";
      AppendHtml(&page, field);
      page += "'>";
    }
    page += "</td></tr>";
  }
  page += "<tr><td></td><td>";
  AppendButtons(&page, {kind->button}, ButtonMarkup::kTypeFirstQuoted);
  page += "</td></tr>";
  page += "</table>";
  page += "</blockquote>";
  page += kRuleLine;
  session->page_text = std::move(page);
  return true;
}

}  // namespace kirvs

#include "search/criteria.h"

#include <string_view>

#include "pages/posted_fields.h"
#include "platform/escape.h"

namespace kirvs {

namespace {

// Appends a fixed piece of the criteria to both texts.
void AppendFixed(SearchCriteria* criteria, std::string_view words) {
  criteria->sql.append(words);
  criteria->html.append(words);
}

// A search form built from a field list with a blank after a comma posts
// " Status"; the query language ignores blanks around a name, so they stay
// outside the brackets and such a field searches its column as before.
Status AppendName(SearchCriteria* criteria, std::string_view name) {
  const size_t first = name.find_first_not_of(' ');
  const size_t end = name.find_last_not_of(' ') + 1;
  std::string_view core =
      first == std::string_view::npos ? "" : name.substr(first, end - first);
  if (!IsPlainName(core)) {
    return Status::NotFound("unknown column: " + std::string(name));
  }
  std::string sql_name(name.substr(0, first));
  AppendSqlName(&sql_name, core);
  sql_name.append(name.substr(end));
  criteria->sql += sql_name;
  AppendHtml(&criteria->html, sql_name);
  return Status();
}

// Appends the operator, then the value as quoted text.
void AppendCondition(SearchCriteria* criteria, std::string_view value) {
  std::string_view operand = value;
  if (value.starts_with(">=") || value.starts_with("<=") ||
      value.starts_with("<>")) {
    AppendFixed(criteria, value.substr(0, 2));
    operand = value.substr(2);
  } else if (value.starts_with("=")) {
    AppendFixed(criteria, "=");
    operand = value.substr(1);
  } else if (value.find('%') != std::string_view::npos) {
    AppendFixed(criteria, " Like ");
  } else {
    AppendFixed(criteria, "=");
  }
  std::string literal;
  AppendSqlText(&literal, operand);
  AppendFixed(criteria, "'");
  criteria->sql += literal;
  AppendHtml(&criteria->html, literal);
  AppendFixed(criteria, "'");
}

}  // namespace

Status BuildSearchCriteria(const SubmittedForm* form,
                           SearchCriteria* criteria) {
  criteria->sql.clear();
  criteria->html.clear();
  if (form == nullptr) return Status();
  for (const std::string& name : form->Names()) {
    if (IsControlField(name)) continue;
    std::string value = form->Get(name);
    value.erase(0, value.find_first_not_of(' '));
    if (value.empty()) continue;
    AppendFixed(criteria, criteria->sql.empty() ? " WHERE " : " AND ");
    Status s = AppendName(criteria, name);
    if (!s.ok()) return s;
    AppendCondition(criteria, value);
  }
  return Status();
}

}  // namespace kirvs

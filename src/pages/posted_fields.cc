#include "pages/posted_fields.h"

#include "data/settings.h"
#include "pages/request_form.h"
#include "platform/ascii.h"
#include "platform/column_types.h"
#include "platform/escape.h"
#include "platform/text_forms.h"

namespace kirvs {

namespace {

// Whether a column's value changed, for the audit trail's change list.
bool Changed(const Variant& before, const Variant& after) {
  bool before_unset = before.IsNull() || before.IsEmpty();
  bool after_unset = after.IsNull() || after.IsEmpty();
  if (before_unset || after_unset) return before_unset != after_unset;
  bool before_numeric = before.IsNumber() ||
                        before.type() == Variant::Type::kDate ||
                        before.type() == Variant::Type::kBoolean;
  bool after_numeric = after.IsNumber() ||
                       after.type() == Variant::Type::kDate ||
                       after.type() == Variant::Type::kBoolean;
  if (before_numeric && after_numeric) return before.number() != after.number();
  return before.ToText() != after.ToText();
}

// The value to write for a posted text into a column of `field`'s type.
Variant ValueFor(const FieldInfo& field, const std::string& posted) {
  if (field.type_code == kTypeBoolean) return Variant::Boolean(!posted.empty());
  bool date_or_number =
      IsDateType(field.type_code) || IsNumericType(field.type_code);
  if (date_or_number && TrimBlanks(posted).empty()) return Variant::Null();
  return Variant(posted);
}

Status WriteField(RecordSource& rs, int index, const std::string& posted,
                  std::string* change_list) {
  const FieldInfo& field = rs.field(index);
  // A value that cannot be read counts as unset (empty) on either side of
  // the write, so the change list names the column rather than losing it.
  Variant before;
  (void)rs.Get(index, &before);
  Status s = rs.Set(index, ValueFor(field, posted));
  if (!s.ok() || change_list == nullptr || field.type_code == kTypeBoolean) {
    return s;
  }
  Variant after;
  (void)rs.Get(index, &after);
  if (Changed(before, after)) {
    // The change list is stored in the audit trail as it stands; pages that
    // show it escape it there.
    *change_list += field.name + ":" + posted + "|";
  }
  return s;
}

}  // namespace

const SubmittedForm* FormAndDatabasePath(SessionState* session,
                                         const Variant& form_value,
                                         std::string* db_path) {
  const SubmittedForm* form = form_value.form();
  if (form == nullptr) {
    session->error_text =
        "Unable to process request object submitted by ASP form.";
    return nullptr;
  }
  *db_path = ReadDatabasePath(session->settings_path);
  if (db_path->empty()) {
    session->error_text = kNoDbPathMessage;
    return nullptr;
  }
  return form;
}

int32_t PostedNumber(const std::string& posted) {
  std::optional<double> number = ParseNumber(posted);
  return number ? RoundToInt32(*number) : 0;
}

bool IsControlField(const std::string& name) {
  return name.compare(0, 5, "KIRVS") == 0;
}

Status WritePostedFields(const SubmittedForm& form, RecordSource& rs,
                         const PostedFieldRules& rules, std::string* trace,
                         std::string* change_list) {
  Status result;
  for (const std::string& name : form.Names()) {
    if (IsControlField(name)) continue;
    std::string posted = form.Get(name);
    AppendHtml(trace, name);
    *trace += "=";
    AppendHtml(trace, posted);
    *trace += ",";
    if (rules.skip_request_no && EqualsIgnoringCase(name, "RequestNo")) {
      continue;
    }
    if (rules.trim_leading_blanks) {
      posted.erase(0, posted.find_first_not_of(' '));
    }
    int index = rs.FieldIndex(name);
    Status s = index < 0 ? Status::NotFound("unknown column: " + name)
                         : WriteField(rs, index, posted, change_list);
    if (!s.ok()) result = s;
  }
  // A checkbox the page showed but the browser did not post was unticked.
  for (const std::string& name : form.Names()) {
    if (!StartsWithIgnoringCase(name, kCheckboxMarker)) continue;
    std::string column = name.substr(kCheckboxMarker.size());
    int index = rs.FieldIndex(column);
    if (index < 0 || rs.field(index).type_code != kTypeBoolean ||
        form.Has(column)) {
      continue;
    }
    Status s = rs.Set(index, Variant::Boolean(false));
    if (!s.ok()) result = s;
  }
  return result;
}

}  // namespace kirvs

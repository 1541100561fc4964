#include "pages/request_form.h"

#include "data/lookups.h"
#include "platform/column_types.h"
#include "platform/escape.h"
#include "platform/text_forms.h"

namespace kirvs {

namespace {

constexpr std::string_view kFormColour = "#00c0ff";

enum class FieldClass {
  kNumberText = 1,
  kDateText,
  kDateInput,
  kCheckbox,
  kLongText,
  kSelectList,
  kWideInput,
  kInput,
};

struct LookupTable {
  std::string_view column;
  std::string_view table;
};

constexpr LookupTable kLookupTables[] = {
    {"RequestType", "Request_Types"},
    {"Priority", "Priority"},
    {"Status", "Status"},
    {"System", "System_Codes"},
    {"Product", "Products"},
    {"ProductCode", "Products"},
    {"Department", "Departments"},
    {"Sub-Department", "Sub-Departments"},
    {"Location", "Locations"},
    {"Personnel", "Personnel"},
    {"WorkGroup", "Work_Groups"},
    {"EscalationId", "Escalation"},
    {"ResolutionCode", "Resolution_Codes"},
};

FieldClass ClassOf(const FieldInfo& field) {
  const std::string& name = field.name;
  if (name == "RequestNo" || name == "ActNo") return FieldClass::kNumberText;
  if (name == "Requested") return FieldClass::kDateText;
  if (name == "Allocated" || name == "Completed" || name == "Scheduled" ||
      name == "Date/Time") {
    return FieldClass::kDateInput;
  }
  if (field.type_code == kTypeBoolean) return FieldClass::kCheckbox;
  if (field.type_code == kTypeLongText) return FieldClass::kLongText;
  if (!LookupTableFor(name).empty()) return FieldClass::kSelectList;
  if (field.defined_size == 255) return FieldClass::kWideInput;
  return FieldClass::kInput;
}

// The value with the pattern "0": numbers rounded, null as empty, text that
// is no number as it stands.
std::string WholeNumberText(const Variant& value) {
  if (value.IsText()) {
    std::optional<double> number = ParseNumber(value.text());
    return number ? FormatPattern(*number, "0") : value.text();
  }
  if (value.IsNull() || value.IsEmpty() || value.IsForm()) return "";
  return FormatPattern(value.number(), "0");
}

// The value in the General Date form, also when the column holds its dates
// as text or as day counts; anything that names no date as it stands.
std::string DateText(const Variant& value) {
  std::optional<double> moment = MomentOf(value);
  return moment ? FormatGeneralDate(*moment) : value.ToText();
}

bool IsTicked(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return false;
  if (value.type() == Variant::Type::kBoolean) return value.boolean();
  if (value.IsText()) return !value.text().empty() && value.text() != "False";
  return value.number() != 0;
}

// Appends the value part of a field: everything after the label. Fails only
// when a selection list's code table cannot be read.
Status AppendValuePart(SessionState* session, std::string* page,
                       const FieldInfo& field, FieldClass field_class,
                       const Variant& value) {
  const std::string name = EscapeHtml(field.name);
  const std::string text = EscapeHtml(value.ToText());
  switch (field_class) {
    case FieldClass::kNumberText:
      *page += "</td><td><font size=2 face=arial>" +
               EscapeHtml(WholeNumberText(value));
      break;
    case FieldClass::kDateText:
      *page +=
          "</td><td><font size=2 face=arial>" + EscapeHtml(DateText(value));
      break;
    case FieldClass::kDateInput:
      *page += "</td><td><font size=2 face=arial><input name='" + name +
               "' type=text value='" + EscapeHtml(DateText(value)) +
               "' maxlength=20>";
      break;
    case FieldClass::kCheckbox:
      *page += "</td><td><font size=2 face=arial><input name='" + name +
               "' type=checkbox " + (IsTicked(value) ? "checked" : "") + ">";
      *page += "<input type=hidden name='" + std::string(kCheckboxMarker) +
               name + "' value=1>";
      break;
    case FieldClass::kLongText:
      *page += "</td><td colspan=3><font size=2 face=arial><input name='" +
               name + "' type=textarea value='" + text + "' size='65,3'>";
      break;
    case FieldClass::kSelectList:
      *page += "</td><td>";
      return AppendSelectList(page, session->settings_path, field.name,
                              LookupTableFor(field.name),
                              value.IsNull() ? Variant("") : value);
    case FieldClass::kWideInput:
      *page += "</td><td colspan=3><font size=2 face=arial><input name='" +
               name + "' type=textarea value='" + text +
               "' maxlength='255' size='65,3'>";
      break;
    case FieldClass::kInput:
      *page += "</td><td><font size=2 face=arial><input name='" + name +
               "' type=text value='" + text +
               "' maxlength=" + FormatInteger(field.defined_size) + ">";
      break;
  }
  return Status();
}

}  // namespace

std::string_view LookupTableFor(std::string_view column_name) {
  for (const LookupTable& entry : kLookupTables) {
    if (entry.column == column_name) return entry.table;
  }
  return "";
}

Status RenderRequestForm(SessionState* session, std::string* page) {
  RecordSource& rs = *session->current_rs;
  std::string last_error;
  *page += "<table bgcolor=" + std::string(kFormColour) +
           " border=1 bordercolor=teal rules=none frame=box cellpadding=3 "
           "cellspacing=2>";
  bool row_start = true;
  const int columns = rs.field_count();
  for (int i = 0; i < columns; ++i) {
    const FieldInfo& field = rs.field(i);
    if (row_start) *page += "<tr>";
    *page += "<td bgcolor='" + std::string(kFormColour) +
             "'><font size=2 face=arial><b>";
    AppendHtml(page, field.name);
    const FieldClass field_class = ClassOf(field);
    Variant value;
    Status read = rs.Get(i, &value);
    if (read.ok()) {
      Status s = AppendValuePart(session, page, field, field_class, value);
      if (!s.ok()) return s;
    } else {
      last_error = read.message();
    }
    if (field_class == FieldClass::kLongText) {
      row_start = false;
    } else if (field_class == FieldClass::kWideInput) {
      row_start = true;
    } else {
      row_start = !row_start;
    }
    *page += "</td>";
    if (i + 1 < columns && rs.field(i + 1).defined_size == 255) {
      row_start = true;
    }
    if (row_start) *page += "</tr>";
  }
  *page += "</table>";
  session->error_text = EscapeHtml(last_error);
  return Status();
}

}  // namespace kirvs

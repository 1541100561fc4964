#include "kirvs/submitted_form.h"

#include "platform/ascii.h"

namespace kirvs {

std::string SubmittedForm::Get(std::string_view name) const {
  std::string value;
  bool found = false;
  for (const Field& field : fields_) {
    if (!EqualsIgnoringCase(field.first, name)) continue;
    if (found) value += ", ";
    value += field.second;
    found = true;
  }
  return value;
}

bool SubmittedForm::Has(std::string_view name) const {
  for (const Field& field : fields_) {
    if (EqualsIgnoringCase(field.first, name)) return true;
  }
  return false;
}

std::vector<std::string> SubmittedForm::Names() const {
  std::vector<std::string> names;
  for (const Field& field : fields_) {
    bool seen = false;
    for (const std::string& name : names) {
      if (EqualsIgnoringCase(name, field.first)) {
        seen = true;
        break;
      }
    }
    if (!seen) names.push_back(field.first);
  }
  return names;
}

}  // namespace kirvs

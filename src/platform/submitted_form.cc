#include "kirvs/submitted_form.h"

namespace kirvs {

namespace {

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace

SubmittedForm::SubmittedForm(std::vector<Field> fields)
    : fields_(std::move(fields)) {
  for (const Field& field : fields_) Index(field);
}

void SubmittedForm::Index(const Field& field) {
  auto [it, inserted] =
      index_.try_emplace(AsciiLower(field.first), names_.size());
  if (inserted) {
    names_.push_back(field.first);
    values_.push_back(field.second);
    return;
  }
  std::string& value = values_[it->second];
  value += ", ";
  value += field.second;
}

std::string SubmittedForm::Get(std::string_view name) const {
  auto it = index_.find(AsciiLower(name));
  return it == index_.end() ? std::string() : values_[it->second];
}

bool SubmittedForm::Has(std::string_view name) const {
  return index_.count(AsciiLower(name)) != 0;
}

}  // namespace kirvs
